// The end-to-end runner and the probes it works with. Every installer test trusts these: a runner
// that misreads a box or cuts an exit code, or a probe that records or posts the wrong thing,
// would make those tests pass or fail for the wrong reason. Needs Wine with a display.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "installer_runner.h"
#include "probe_paths.h"
#include "probe_record.h"
#include "resource_patch.h"
#include "runner_cli.h"

namespace {

using runner::CapturedBox;
using runner::EnvChange;
using runner::Fields;
using runner::RunOptions;
using runner::RunReport;

// A fresh folder per test under the probes' work folder, removed again in tear-down.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name)
      : path_(std::wstring(PORTIVO_PROBE_WORK_DIR) + L"\\" + name + L"\\") {
    Remove(path_);
    CreateDirectoryW(PORTIVO_PROBE_WORK_DIR, nullptr);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() {
    Remove(path_);
    EXPECT_EQ(GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES) << "left behind";
  }
  const std::wstring& path() const { return path_; }

 private:
  static void Remove(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Remove(folder + name + L"\\");
        else DeleteFileW((folder + name).c_str());
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring path_;
};

bool WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  return CloseHandle(file) && ok;
}

std::vector<unsigned char> EveryByteValue() {
  std::vector<unsigned char> bytes;
  for (int round = 0; round < 3; ++round) {
    for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<unsigned char>(b ^ round));
  }
  return bytes;
}

std::string Narrow(const std::wstring& text) { return runner::Utf8FromWide(text); }

// ---------------------------------------------------------------------------------------------
// Pure parts of the runner.

struct EnvRow {
  const char* what;
  std::vector<std::wstring> current;
  std::vector<EnvChange> changes;
  std::vector<std::wstring> expected;
};

TEST(RunnerEnvironment, ChangesApplyByNameWithoutRegardToCaseAndTheBlockIsSorted) {
  const std::vector<EnvRow> rows = {
      {"a new variable is added in name order",
       {L"=C:=C:\\w", L"PATH=C:\\x", L"TEMP=C:\\t"},
       {runner::SetEnv(L"PROBE_EXIT", L"3")},
       {L"=C:=C:\\w", L"PATH=C:\\x", L"PROBE_EXIT=3", L"TEMP=C:\\t"}},
      {"a set replaces the variable whatever its letter case",
       {L"Path=C:\\x", L"TEMP=C:\\t"},
       {runner::SetEnv(L"PATH", L"C:\\y")},
       {L"PATH=C:\\y", L"TEMP=C:\\t"}},
      {"a removal takes the variable out, drive entries stay",
       {L"=C:=C:\\w", L"=D:=D:\\", L"TEMP=C:\\t", L"tmp=C:\\t"},
       {runner::UnsetEnv(L"Tmp")},
       {L"=C:=C:\\w", L"=D:=D:\\", L"TEMP=C:\\t"}},
      {"a value may hold '=' and may be empty",
       {},
       {runner::SetEnv(L"B", L"x=y"), runner::SetEnv(L"A", L"")},
       {L"A=", L"B=x=y"}},
      {"changes apply in order",
       {L"X=1"},
       {runner::UnsetEnv(L"X"), runner::SetEnv(L"x", L"2"), runner::SetEnv(L"X", L"3")},
       {L"X=3"}},
      {"removing everything leaves an empty block", {L"X=1"}, {runner::UnsetEnv(L"x")}, {}},
  };
  for (const EnvRow& row : rows) {
    std::vector<wchar_t> block = runner::ComposeEnvironmentBlock(row.current, row.changes);
    std::vector<wchar_t> expected;
    for (const std::wstring& e : row.expected) {
      expected.insert(expected.end(), e.begin(), e.end());
      expected.push_back(L'\0');
    }
    if (expected.empty()) expected.push_back(L'\0');
    expected.push_back(L'\0');
    EXPECT_EQ(std::wstring(block.begin(), block.end()), std::wstring(expected.begin(), expected.end()))
        << row.what;
  }
}

struct CliRow {
  const wchar_t* command_line;
  int status;
  const wchar_t* exe;
  const wchar_t* arguments;
  std::size_t env_changes;
  DWORD dismiss_after_ms;
};

TEST(RunnerCommandLine, InstallerArgumentsPassOnAsTheExactText) {
  const std::vector<CliRow> rows = {
      {L"runner.exe inst.exe", runner::kRunnerOk, L"inst.exe", L"", 0, 300},
      {L"\"C:\\r u\\runner.exe\" \"C:\\a b\\inst.exe\" -s1 -QX:COM  3", runner::kRunnerOk,
       L"C:\\a b\\inst.exe", L"-s1 -QX:COM  3", 0, 300},
      {L"runner.exe --env A=1 --env \"B=x y\" --dismiss-after 50 --timeout 9000 i.exe \"-mode 3\"",
       runner::kRunnerOk, L"i.exe", L"\"-mode 3\"", 2, 50},
      {L"runner.exe --unset TMP i.exe --env X=1", runner::kRunnerOk, L"i.exe", L"--env X=1", 1, 300},
      {L"runner.exe i.exe ", runner::kRunnerOk, L"i.exe", L"", 0, 300},
      {L"runner.exe i.exe  -s1", runner::kRunnerOk, L"i.exe", L" -s1", 0, 300},
      {L"runner.exe", runner::kRunnerBadArguments, L"", L"", 0, 300},
      {L"runner.exe --env A=1", runner::kRunnerBadArguments, L"", L"", 0, 300},
      {L"runner.exe --env NOEQUALS i.exe", runner::kRunnerBadArguments, L"", L"", 0, 300},
      {L"runner.exe --dismiss-after soon i.exe", runner::kRunnerBadArguments, L"", L"", 0, 300},
      {L"runner.exe --verbose i.exe", runner::kRunnerBadArguments, L"", L"", 0, 300},
  };
  for (const CliRow& row : rows) {
    RunOptions options;
    std::wstring error;
    int status = runner::ParseRunnerCommandLine(row.command_line, &options, &error);
    ASSERT_EQ(status, row.status) << Narrow(row.command_line) << ": " << Narrow(error);
    if (status != runner::kRunnerOk) continue;
    EXPECT_EQ(options.exe_path, row.exe) << Narrow(row.command_line);
    EXPECT_EQ(options.arguments, row.arguments) << Narrow(row.command_line);
    EXPECT_EQ(options.env.size(), row.env_changes) << Narrow(row.command_line);
    EXPECT_EQ(options.dismiss_after_ms, row.dismiss_after_ms) << Narrow(row.command_line);
  }
}

// ---------------------------------------------------------------------------------------------
// Message boxes and exit codes, against a program that shows known boxes.

struct BoxRow {
  const wchar_t* style;
  const wchar_t* exit_code;
  DWORD expected_exit;
  std::vector<int> buttons;
  runner::BoxIcon icon;
  int answer;
};

TEST(RunnerBoxes, EachBoxIsReadAnsweredAndTheFullExitCodeKept) {
  ScratchFolder folder(L"boxes");
  const std::vector<BoxRow> rows = {
      {L"0x10", L"1001", 1001, {IDOK}, runner::kBoxIconHand, IDOK},
      {L"0x21", L"0x80000001", 0x80000001u, {IDOK, IDCANCEL}, runner::kBoxIconQuestion, IDOK},
      {L"0x30", L"259", 259, {IDOK}, runner::kBoxIconExclamation, IDOK},
      {L"0x40", L"-1", 0xFFFFFFFFu, {IDOK}, runner::kBoxIconAsterisk, IDOK},
      {L"0x4", L"65536", 65536, {IDYES, IDNO}, runner::kBoxIconNone, IDYES},
  };
  for (const BoxRow& row : rows) {
    const std::wstring record = folder.path() + L"answers.txt";
    RunOptions options;
    options.exe_path = PORTIVO_PROBE_MSGBOX_EXE;
    options.env = {runner::SetEnv(L"PROBE_BOX_STYLE", row.style),
                   runner::SetEnv(L"PROBE_BOX_CAPTION", L"Orvik Portivo Ver.8.70b"),
                   runner::SetEnv(L"PROBE_BOX_TEXT", L"インストールに失敗しました。\r\n\"x\""),
                   runner::SetEnv(L"PROBE_EXIT", row.exit_code),
                   runner::SetEnv(L"PROBE_RECORD", record)};
    options.timeout_ms = 30000;
    RunReport report;
    ASSERT_EQ(runner::RunInstaller(options, &report), runner::kRunnerOk) << Narrow(row.style);
    EXPECT_EQ(report.exit_code, row.expected_exit) << Narrow(row.style);
    ASSERT_EQ(report.boxes.size(), 1u) << Narrow(row.style);
    const CapturedBox& box = report.boxes[0];
    EXPECT_EQ(box.caption, L"Orvik Portivo Ver.8.70b");
    EXPECT_EQ(box.text, L"インストールに失敗しました。\r\n\"x\"");
    EXPECT_EQ(box.buttons, row.buttons) << Narrow(row.style);
    EXPECT_EQ(box.icon, row.icon) << Narrow(row.style) << " read as " << runner::BoxIconName(box.icon);
    EXPECT_FALSE(box.has_owner);
    EXPECT_EQ(box.answered_with, row.answer) << Narrow(row.style);
    Fields answers;
    ASSERT_EQ(runner::ReadProbeRecord(record, &answers), runner::kRunnerOk);
    EXPECT_EQ(runner::ValueOf(answers, "answer"), std::to_string(row.answer)) << Narrow(row.style);
  }
}

TEST(RunnerBoxes, BoxesOneAfterAnotherAreKeptInOrderForTheirDelay) {
  RunOptions options;
  options.exe_path = PORTIVO_PROBE_MSGBOX_EXE;
  options.arguments = L"-s1";
  options.env = {runner::SetEnv(L"PROBE_BOX_COUNT", L"2")};
  options.dismiss_after_ms = 700;
  RunReport report;
  ASSERT_EQ(runner::RunInstaller(options, &report), runner::kRunnerOk);
  EXPECT_EQ(report.command_line, L"\"" + std::wstring(PORTIVO_PROBE_MSGBOX_EXE) + L"\" -s1");
  ASSERT_EQ(report.boxes.size(), 2u);
  EXPECT_EQ(report.boxes[0].text, L"Probe text");
  EXPECT_EQ(report.boxes[1].text, L"Probe text 2");
  for (const CapturedBox& box : report.boxes) {
    EXPECT_GE(box.shown_ms, 700u);
    EXPECT_LT(box.shown_ms, 3000u);
  }
  EXPECT_GE(report.boxes[1].appeared_ms, report.boxes[0].appeared_ms + 700);
  EXPECT_GE(report.elapsed_ms, 1400u);
}

TEST(RunnerBoxes, ABoxLeftOpenKeepsTheRunGoingUntilTheTimeoutEndsIt) {
  RunOptions options;
  options.exe_path = PORTIVO_PROBE_MSGBOX_EXE;
  options.dismiss_boxes = false;
  options.timeout_ms = 2500;
  runner::RunningInstaller running;
  ASSERT_EQ(runner::StartInstaller(options, &running), runner::kRunnerOk);
  EXPECT_EQ(runner::WatchInstaller(&running, 1500), runner::kRunnerStillRunning);
  ASSERT_EQ(running.report.boxes.size(), 1u);
  EXPECT_EQ(running.report.boxes[0].answered_with, 0);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, running.report.process_id);
  runner::StopInstaller(&running);
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0) << "the process outlived the stop";
  CloseHandle(process);

  RunReport report;
  EXPECT_EQ(runner::RunInstaller(options, &report), runner::kRunnerTimedOut);
  ASSERT_EQ(report.boxes.size(), 1u);
  EXPECT_GE(report.boxes[0].appeared_ms + report.boxes[0].shown_ms, 2400u)
      << "the box was not kept until the timeout";
}

TEST(RunnerStart, AMissingProgramIsAStartFailure) {
  RunOptions options;
  options.exe_path = std::wstring(PORTIVO_PROBE_WORK_DIR) + L"\\no-such-installer.exe";
  RunReport report;
  EXPECT_EQ(runner::RunInstaller(options, &report), runner::kRunnerStartFailed);
  EXPECT_EQ(report.start_error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// ---------------------------------------------------------------------------------------------
// Variant installers.

TEST(RunnerResources, ACopyGetsOneResourceReplacedOrRemovedAndStillRuns) {
  ScratchFolder folder(L"resources");
  std::vector<unsigned char> cabinet;
  ASSERT_EQ(runner::ReadWholeFile(PORTIVO_PROBE_CABINET, &cabinet), runner::kRunnerOk);
  ASSERT_GT(cabinet.size(), 3000000u);
  std::vector<unsigned char> original_150;
  ASSERT_EQ(runner::ReadRcdata(PORTIVO_PROBE_MSGBOX_EXE, 150, &original_150), runner::kRunnerOk);

  struct Row {
    const char* what;
    WORD id;
    const std::vector<unsigned char>* bytes;
  };
  const std::vector<unsigned char> tiny = {0x0D, 0x0A, 0x1A, 0x00};
  const std::vector<Row> rows = {
      {"grown far beyond the resource section", 104, &cabinet},
      {"shrunk to a few bytes", 104, &tiny},
      {"removed", 104, nullptr},
  };
  for (const Row& row : rows) {
    const std::wstring copy = folder.path() + L"variant.exe";
    ASSERT_EQ(runner::CopyWithRcdata(PORTIVO_PROBE_MSGBOX_EXE, copy, row.id, row.bytes),
              runner::kRunnerOk)
        << row.what;
    std::vector<unsigned char> now;
    if (row.bytes == nullptr) {
      EXPECT_EQ(runner::ReadRcdata(copy, row.id, &now), runner::kRunnerResourceMissing) << row.what;
    } else {
      ASSERT_EQ(runner::ReadRcdata(copy, row.id, &now), runner::kRunnerOk) << row.what;
      EXPECT_TRUE(now == *row.bytes) << row.what;
    }
    ASSERT_EQ(runner::ReadRcdata(copy, 150, &now), runner::kRunnerOk) << row.what;
    EXPECT_TRUE(now == original_150) << row.what << ": the other resource changed";

    RunOptions options;
    options.exe_path = copy;
    options.env = {runner::SetEnv(L"PROBE_EXIT", L"1001"), runner::SetEnv(L"PROBE_BOX_COUNT", L"0")};
    RunReport report;
    ASSERT_EQ(runner::RunInstaller(options, &report), runner::kRunnerOk) << row.what;
    EXPECT_EQ(report.exit_code, 1001u) << row.what << ": the patched copy no longer runs";
  }
  EXPECT_EQ(runner::CopyWithRcdata(PORTIVO_PROBE_MSGBOX_EXE, folder.path() + L"variant.exe", 999,
                                   nullptr),
            runner::kRunnerResourceMissing);
}

// ---------------------------------------------------------------------------------------------
// The setup probe, driven the way the installer drives it.

// A hidden window like the installer's, collecting what the probe posts to it.
class ResultWindow {
 public:
  ResultWindow() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"RunnerTestResultWindow";
    RegisterClassExW(&wc);
    hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                            nullptr, wc.hInstance, nullptr);
  }
  ~ResultWindow() { DestroyWindow(hwnd_); }
  std::wstring Arg() const {
    return L"/W32:" + std::to_wstring(reinterpret_cast<INT_PTR>(hwnd_)) + L":1024";
  }
  std::vector<WPARAM> Posted() {
    std::vector<WPARAM> values;
    MSG msg;
    while (PeekMessageW(&msg, hwnd_, 1024, 1024, PM_REMOVE)) values.push_back(msg.wParam);
    return values;
  }

 private:
  HWND hwnd_;
};

// A work folder like the installer's: the probe as setup.exe, a sub-tree and a PORTS.dat.
void LayOutWorkFolder(const std::wstring& work, const std::vector<unsigned char>& ports) {
  CreateDirectoryW(work.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_SETUP_EXE, (work + L"setup.exe").c_str(), FALSE));
  CreateDirectoryW((work + L"qxusb").c_str(), nullptr);
  CreateDirectoryW((work + L"qxusb\\QXUSB710").c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(work + L"qxusb\\QXUSB710\\readme_e.txt", {'a', '\r', '\n', 0, 'b'}));
  ASSERT_TRUE(WriteBytes(work + L"PORTS.dat", ports));
}

TEST(SetupProbe, RecordsItsStartAndTreeAndPostsTheOutcomesInOrder) {
  ScratchFolder folder(L"setup-record");
  const std::wstring work = folder.path() + L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}\\";
  const std::vector<unsigned char> ports = EveryByteValue();
  LayOutWorkFolder(work, ports);
  const std::wstring record = folder.path() + L"record.txt";
  ResultWindow window;

  RunOptions options;
  options.exe_path = work + L"setup.exe";
  options.arguments = L"/clone_wait \"" + window.Arg() + L" -s1 -mode 3\"";
  options.current_folder = folder.path();
  options.env = {runner::SetEnv(L"PROBE_RECORD", record),
                 runner::SetEnv(L"PROBE_POST", L"5,0x20003,7"),
                 runner::SetEnv(L"PROBE_EXIT", L"0x80000002")};
  RunReport report;
  ASSERT_EQ(runner::RunInstaller(options, &report), runner::kRunnerOk);
  EXPECT_EQ(report.exit_code, 0x80000002u);
  EXPECT_EQ(window.Posted(), (std::vector<WPARAM>{5, 0x20003, 7}));

  Fields r;
  ASSERT_EQ(runner::ReadProbeRecord(record, &r), runner::kRunnerOk);
  EXPECT_EQ(runner::ValueOf(r, "complete"), "1");
  EXPECT_EQ(runner::ValueOf(r, "command_line"), Narrow(report.command_line));
  std::wstring current = folder.path();
  current.pop_back();  // GetCurrentDirectoryW has no trailing separator
  EXPECT_EQ(runner::ValueOf(r, "current_folder"), Narrow(current));
  EXPECT_EQ(runner::ValueOf(r, "module_path"), Narrow(work + L"setup.exe"));
  EXPECT_EQ(runner::ValueOf(r, "w32_message"), "1024");
  EXPECT_EQ(runner::ValuesOf(r, "post"),
            (std::vector<std::string>{"5|ok", "0x20003|ok", "7|ok"}));
  EXPECT_EQ(runner::ValueOf(r, "ports_exclusive_open"), "1");

  std::vector<unsigned char> copy;
  ASSERT_EQ(runner::ReadWholeFile(record + L".ports", &copy), runner::kRunnerOk);
  EXPECT_TRUE(copy == ports) << "the PORTS.dat copy is not byte-exact";

  std::vector<unsigned char> setup;
  ASSERT_EQ(runner::ReadWholeFile(PORTIVO_PROBE_SETUP_EXE, &setup), runner::kRunnerOk);
  std::vector<runner::RecordedFile> files = runner::RecordedFiles(r);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].path, "PORTS.dat");
  EXPECT_EQ(files[0].size, ports.size());
  EXPECT_EQ(files[0].crc32, runner::Crc32Hex(ports));
  EXPECT_EQ(files[1].path, "setup.exe");
  EXPECT_EQ(files[1].crc32, runner::Crc32Hex(setup));
  EXPECT_EQ(files[2].path, "qxusb\\QXUSB710\\readme_e.txt");
  EXPECT_EQ(files[2].size, 5u);
  EXPECT_EQ(runner::ValuesOf(r, "folder"), (std::vector<std::string>{"qxusb", "qxusb\\QXUSB710"}));
}

TEST(SetupProbe, APortsFileStillHeldOpenIsReportedAndCopiedAnyway) {
  ScratchFolder folder(L"setup-ports-open");
  const std::wstring work = folder.path() + L"work\\";
  const std::vector<unsigned char> ports = {'C', 'O', 'M', '3', '\r', '\n'};
  LayOutWorkFolder(work, ports);
  HANDLE held = CreateFileW((work + L"PORTS.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::wstring record = folder.path() + L"record.txt";
  RunOptions options;
  options.exe_path = work + L"setup.exe";
  options.env = {runner::SetEnv(L"PROBE_RECORD", record), runner::SetEnv(L"PROBE_POST", L"3")};
  RunReport report;
  ASSERT_EQ(runner::RunInstaller(options, &report), runner::kRunnerOk);
  CloseHandle(held);
  Fields r;
  ASSERT_EQ(runner::ReadProbeRecord(record, &r), runner::kRunnerOk);
  EXPECT_EQ(runner::ValueOf(r, "ports_exclusive_open").substr(0, 2), "0:");
  EXPECT_EQ(runner::ValueOf(r, "w32_window"), "none");
  EXPECT_EQ(runner::ValuesOf(r, "post"), (std::vector<std::string>{"3|no-window"}));
  std::vector<unsigned char> copy;
  ASSERT_EQ(runner::ReadWholeFile(record + L".ports", &copy), runner::kRunnerOk);
  EXPECT_TRUE(copy == ports);
}

struct RaiseSearch {
  DWORD pid;
  const wchar_t* class_name;
  HWND found;
};

BOOL CALLBACK FindProbeWindow(HWND hwnd, LPARAM param) {
  RaiseSearch* s = reinterpret_cast<RaiseSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[260];
  if (pid == s->pid && GetClassNameW(hwnd, name, 260) && std::wstring(name) == s->class_name) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

TEST(SetupProbe, CountsOnlyTheRaisesThatSomeoneElseMakes) {
  ScratchFolder folder(L"setup-raise");
  const std::wstring work = folder.path() + L"work\\";
  LayOutWorkFolder(work, {});
  const std::wstring record = folder.path() + L"record.txt";
  struct Row {
    int raises;
    const char* expected;
  };
  for (const Row& row : {Row{0, "TSetDialog|0|0"}, Row{1, "TSetDialog|1|1"},
                         Row{2, "TSetDialog|2|1"}}) {
    RunOptions options;
    options.exe_path = work + L"setup.exe";
    options.env = {runner::SetEnv(L"PROBE_RECORD", record),
                   runner::SetEnv(L"PROBE_WINDOW_CLASS", L"TSetDialog")};
    runner::RunningInstaller running;
    ASSERT_EQ(runner::StartInstaller(options, &running), runner::kRunnerOk);
    RaiseSearch search = {running.report.process_id, L"TSetDialog", nullptr};
    for (int i = 0; i < 300 && search.found == nullptr; ++i) {
      Sleep(10);
      EnumWindows(FindProbeWindow, reinterpret_cast<LPARAM>(&search));
    }
    EXPECT_NE(search.found, nullptr);
    for (int i = 0; i < row.raises; ++i) {
      // Like the installer: a pause, then the raise; a second raise needs the focus taken away.
      Sleep(700);
      if (i > 0) {
        RaiseSearch anchor = {running.report.process_id, L"PortivoProbeAnchor", nullptr};
        EnumWindows(FindProbeWindow, reinterpret_cast<LPARAM>(&anchor));
        SetForegroundWindow(anchor.found);
        Sleep(300);
      }
      SetForegroundWindow(search.found);
    }
    EXPECT_EQ(runner::WatchInstaller(&running, 20000), runner::kRunnerOk);
    runner::StopInstaller(&running);
    Fields r;
    ASSERT_EQ(runner::ReadProbeRecord(record, &r), runner::kRunnerOk);
    EXPECT_EQ(runner::ValueOf(r, "window"), row.expected) << row.raises << " raises";
  }
}

TEST(SetupProbe, WaitsForTheTestAfterSignallingItsStart) {
  ScratchFolder folder(L"setup-wait");
  const std::wstring work = folder.path() + L"work\\";
  LayOutWorkFolder(work, {});
  const std::wstring record = folder.path() + L"record.txt";
  const std::wstring tag = std::to_wstring(GetCurrentProcessId());
  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, (L"probe-started-" + tag).c_str());
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, (L"probe-release-" + tag).c_str());
  RunOptions options;
  options.exe_path = work + L"setup.exe";
  options.env = {runner::SetEnv(L"PROBE_RECORD", record),
                 runner::SetEnv(L"PROBE_STARTED_EVENT", L"probe-started-" + tag),
                 runner::SetEnv(L"PROBE_WAIT_EVENT", L"probe-release-" + tag)};
  runner::RunningInstaller running;
  ASSERT_EQ(runner::StartInstaller(options, &running), runner::kRunnerOk);
  EXPECT_EQ(WaitForSingleObject(started, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(runner::WatchInstaller(&running, 1000), runner::kRunnerStillRunning);
  SetEvent(release);
  EXPECT_EQ(runner::WatchInstaller(&running, 20000), runner::kRunnerOk);
  runner::StopInstaller(&running);
  CloseHandle(started);
  CloseHandle(release);
  Fields r;
  ASSERT_EQ(runner::ReadProbeRecord(record, &r), runner::kRunnerOk);
  EXPECT_EQ(runner::ValueOf(r, "started_event"), "set");
  EXPECT_EQ(runner::ValueOf(r, "wait"), "signalled");
}

// ---------------------------------------------------------------------------------------------
// The removal probes: the clean-up library and the emulator setups share one log.

TEST(RemovalProbes, LogTheLibraryCallAndEachSetupInOrder) {
  ScratchFolder folder(L"removal");
  const std::wstring log = folder.path() + L"removal.txt";
  SetEnvironmentVariableW(L"PROBE_REMOVAL_RECORD", log.c_str());

  typedef int (*Uninstall)();
  HMODULE library = LoadLibraryW(PORTIVO_PROBE_CLEANUP_DLL);
  ASSERT_NE(library, nullptr);
  Uninstall uninstall =
      reinterpret_cast<Uninstall>(GetProcAddress(library, "RCVCLN_UninstQXCOMUSB"));
  ASSERT_NE(uninstall, nullptr);
  uninstall();
  FreeLibrary(library);
  HMODULE without = LoadLibraryW(PORTIVO_PROBE_CLEANUP_NOEXPORT_DLL);
  ASSERT_NE(without, nullptr);
  EXPECT_EQ(GetProcAddress(without, "RCVCLN_UninstQXCOMUSB"), nullptr);
  FreeLibrary(without);
  SetEnvironmentVariableW(L"PROBE_REMOVAL_RECORD", nullptr);

  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  std::vector<std::wstring> setups = {PORTIVO_PROBE_OPESETUP32_EXE};
  if (wow64) setups.push_back(PORTIVO_PROBE_OPESETUP64_EXE);
  for (const std::wstring& setup : setups) {
    RunOptions options;
    options.exe_path = setup;
    options.arguments = L"/9";
    options.env = {runner::SetEnv(L"PROBE_REMOVAL_RECORD", log),
                   runner::SetEnv(L"PROBE_OPE_EXIT", L"2")};
    RunReport report;
    ASSERT_EQ(runner::RunInstaller(options, &report), runner::kRunnerOk);
    EXPECT_EQ(report.exit_code, 2u);
  }

  std::vector<Fields> lines;
  ASSERT_EQ(runner::ReadProbeLog(log, &lines), runner::kRunnerOk);
  std::vector<std::string> seen;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(runner::ValueOf(lines[i], "seq"), std::to_string(i + 1));
    std::string kind = runner::ValueOf(lines[i], "kind");
    if (kind == "cleanup-unload") kind += ":" + runner::ValueOf(lines[i], "by");
    if (kind == "opesetup") {
      kind += runner::ValueOf(lines[i], "bits");
      EXPECT_EQ(runner::ValueOf(lines[i], "cmdline"),
                "\"" + Narrow(setups[kind == "opesetup64"]) + "\" /9");
    }
    seen.push_back(kind);
  }
  std::vector<std::string> expected = {"cleanup-load", "cleanup-call", "cleanup-unload:FreeLibrary",
                                       "cleanup-load", "cleanup-unload:FreeLibrary", "opesetup32"};
  if (wow64) expected.push_back("opesetup64");
  EXPECT_EQ(seen, expected);
}

// Wine prefers its own comctl32 and version over files beside a program. A per-program override
// in the registry restores Windows' search order, so that a planted copy is what gets loaded.
// (WINEDLLOVERRIDES in the child's environment block has no effect: Wine reads it from the Unix
// environment the whole process tree started with.)
class NativeFirst {
 public:
  explicit NativeFirst(const std::wstring& program)
      : key_(L"Software\\Wine\\AppDefaults\\" + program) {
    HKEY key = nullptr;
    ok_ = RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS;
    for (const wchar_t* dll : {L"comctl32", L"version"}) {
      ok_ = ok_ && RegSetValueExW(key, dll, 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(L"native,builtin"),
                                  sizeof(L"native,builtin")) == ERROR_SUCCESS;
    }
    if (key != nullptr) RegCloseKey(key);
  }
  ~NativeFirst() {
    RegDeleteKeyW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
    HKEY left = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_READ, &left), ERROR_SUCCESS);
  }
  bool ok() const { return ok_; }

 private:
  std::wstring key_;
  bool ok_;
};

TEST(PlantedProbes, LeaveAMarkerInTheProcessThatLoadsThem) {
  ScratchFolder folder(L"planted");
  NativeFirst native_first(L"planted-loader.exe");
  ASSERT_TRUE(native_first.ok());
  const std::wstring program = folder.path() + L"planted-loader.exe";
  ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_MSGBOX_EXE, program.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_PLANTED_COMCTL32_DLL,
                        (folder.path() + L"comctl32.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(PORTIVO_PROBE_PLANTED_VERSION_DLL,
                        (folder.path() + L"version.dll").c_str(), FALSE));
  const std::wstring log = folder.path() + L"planted.txt";
  RunOptions options;
  options.exe_path = program;
  options.env = {runner::SetEnv(L"PROBE_LOAD_LIBRARY", L"comctl32.dll,version.dll"),
                 runner::SetEnv(L"PROBE_BOX_COUNT", L"0"),
                 runner::SetEnv(L"PROBE_PLANTED_RECORD", log)};
  RunReport report;
  ASSERT_EQ(runner::RunInstaller(options, &report), runner::kRunnerOk);
  std::vector<Fields> lines;
  ASSERT_EQ(runner::ReadProbeLog(log, &lines), runner::kRunnerOk);
  std::vector<std::string> loaded;
  for (const Fields& line : lines) {
    loaded.push_back(runner::ValueOf(line, "dll"));
    EXPECT_EQ(runner::ValueOf(line, "process"), Narrow(program));
  }
  std::sort(loaded.begin(), loaded.end());
  EXPECT_EQ(loaded, (std::vector<std::string>{"comctl32.dll", "version.dll"}));

  // Without a log the marker lies beside the library.
  options.env.pop_back();
  ASSERT_EQ(runner::RunInstaller(options, &report), runner::kRunnerOk);
  EXPECT_NE(GetFileAttributesW((folder.path() + L"comctl32.dll.loaded").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW((folder.path() + L"version.dll.loaded").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

}  // namespace
