// Drives an installer under test the way an administrator or a deployment script would: starts it
// with a chosen argument text and environment, answers each message box it shows (recording what
// the box said), and reads its full 32-bit exit code, which the Linux side of Wine only sees cut
// to 8 bits. Also makes variant installers by swapping or removing one payload resource in a copy.
//
// Plain Win32 and the standard library, no exceptions: every operation returns a RunnerStatus.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace runner {

enum RunnerStatus : int {
  kRunnerOk = 0,
  kRunnerBadArguments = 1,          // no program path, or an option the runner does not know
  kRunnerStartFailed = 2,           // CreateProcessW refused the program
  kRunnerStillRunning = 3,          // WatchInstaller: the time given is over, the process runs on
  kRunnerTimedOut = 4,              // RunInstaller: the timeout passed and the process was ended
  kRunnerExitCodeUnreadable = 5,    // GetExitCodeProcess failed
  kRunnerCopyFailed = 6,            // the installer could not be copied for patching
  kRunnerResourceUpdateFailed = 7,  // Begin/Update/EndUpdateResourceW failed
  kRunnerResourceMissing = 8,       // the resource to read or remove is not in the file
  kRunnerResourceCheckFailed = 9,   // the patched copy does not hold what was asked for
  kRunnerFileError = 10,            // a file could not be read or written
};

// One change to the environment the installer inherits from the test. (Wine itself ignores
// WINEDLLOVERRIDES here: it takes that from the Unix environment the process tree started with;
// per-program overrides go in HKCU\Software\Wine\AppDefaults\<program>\DllOverrides.)
struct EnvChange {
  std::wstring name;
  std::wstring value;
  bool remove = false;  // true: the variable is taken out; value is ignored
};

inline EnvChange SetEnv(const std::wstring& name, const std::wstring& value) {
  return EnvChange{name, value, false};
}
inline EnvChange UnsetEnv(const std::wstring& name) { return EnvChange{name, L"", true}; }

struct RunOptions {
  std::wstring exe_path;           // the installer; quoted on the command line
  std::wstring arguments;          // the text after `"<exe_path>" `; empty: no blank follows
  std::vector<EnvChange> env;      // applied in order over the runner's own environment
  std::wstring current_folder;     // empty: the runner's own
  std::wstring desktop;            // "<station>\\<desktop>" to start on; empty: the runner's own.
                                   // Boxes on another window station are not seen or answered.
  DWORD timeout_ms = 120000;       // RunInstaller only
  DWORD dismiss_after_ms = 300;    // how long each box stays before the runner answers it
  bool dismiss_boxes = true;       // false: boxes are recorded but left for the test to answer
};

// The icon of a box, as far as it can be seen from another process: whether the box's icon
// control holds an icon, and which standard icon its pixels on the screen match.
enum BoxIcon : int {
  kBoxIconNone = 0,         // no icon control, or it holds no icon
  kBoxIconHand = 1,         // MB_ICONHAND / MB_ICONERROR / MB_ICONSTOP
  kBoxIconQuestion = 2,     // MB_ICONQUESTION
  kBoxIconExclamation = 3,  // MB_ICONEXCLAMATION / MB_ICONWARNING
  kBoxIconAsterisk = 4,     // MB_ICONASTERISK / MB_ICONINFORMATION
  kBoxIconUnknown = 5,      // an icon is set but its pixels could not be read or matched
};

struct CapturedBox {
  std::wstring caption;       // GetWindowTextW of the box
  std::wstring text;          // GetDlgItemTextW(box, 0xFFFF)
  std::vector<int> buttons;   // ids of the visible buttons among IDOK..IDCONTINUE, ascending
  BoxIcon icon = kBoxIconNone;
  bool has_owner = false;     // the box has an owner window (MessageBoxW(NULL, ...) has none)
  DWORD appeared_ms = 0;      // when the runner first saw it, since the start
  DWORD shown_ms = 0;         // from then until the runner answered it, or until it went away
  int answered_with = 0;      // the command id the runner sent; 0 when it was not answered
};

struct RunReport {
  std::wstring command_line;
  DWORD start_error = 0;      // GetLastError of a CreateProcessW that failed
  DWORD process_id = 0;
  DWORD exit_code = 0;        // full 32 bits; valid when the run ended with kRunnerOk
  DWORD elapsed_ms = 0;
  std::vector<CapturedBox> boxes;  // in the order they appeared
};

// A started installer, for tests that act while it runs (e.g. release a probe's wait event).
// Fill it with StartInstaller, then WatchInstaller until it returns kRunnerOk, and always end
// with StopInstaller.
struct RunningInstaller {
  HANDLE process = nullptr;
  HANDLE job = nullptr;        // holds the installer and its children, for ending them together
  DWORD start_tick = 0;
  RunOptions options;
  RunReport report;
  struct Tracked {
    HWND hwnd;
    DWORD seen_tick;
    bool done;                 // the box went away (or the process ended)
    bool inspected;            // texts read again and icon read after kInspectAfterMs
    DWORD answered_tick;
    bool closed;               // WM_CLOSE sent because the answer did not take
    std::size_t index;         // into report.boxes
  };
  std::vector<Tracked> tracked;
};

// `"<exe>"`, or `"<exe>" <arguments>` when there are arguments.
std::wstring ComposeCommandLine(const std::wstring& exe_path, const std::wstring& arguments);

// The environment block (NAME=VALUE entries, each zero-terminated, then one more zero) that results
// from applying `changes` to `current` (NAME=VALUE entries). Names compare without regard to
// letter case, as Windows does; entries are sorted by name; the drive entries ("=C:=...") stay.
std::vector<wchar_t> ComposeEnvironmentBlock(const std::vector<std::wstring>& current,
                                             const std::vector<EnvChange>& changes);

int StartInstaller(const RunOptions& options, RunningInstaller* running);

// Watches boxes and the process for up to wait_ms. kRunnerOk once the process has ended (its exit
// code and all boxes are in running->report), kRunnerStillRunning when the time ran out first.
int WatchInstaller(RunningInstaller* running, DWORD wait_ms);

// Ends the installer and its children if they still run, and closes the handles.
void StopInstaller(RunningInstaller* running);

// Start, watch until the end or options.timeout_ms (then everything started is ended and
// kRunnerTimedOut returned), stop. *report is filled in every case.
int RunInstaller(const RunOptions& options, RunReport* report);

// Short names of the box details, for test messages and the runner's output.
const char* ButtonName(int id);    // "OK", "Cancel", ..., or "?"
const char* BoxIconName(BoxIcon icon);  // "none", "hand", "question", ...

// `box: caption="..." text="..." buttons=OK+Cancel icon=hand`, UTF-8, with \r \n \t \" \\ escaped.
std::string DescribeBox(const CapturedBox& box);

std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);

}  // namespace runner
