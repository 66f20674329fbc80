#include "run/run_sequence.h"

#include "child/cleanup_library.h"
#include "child/command_lines.h"
#include "child/launcher.h"
#include "child/registry_marks.h"
#include "common/bounded_text.h"
#include "common/language.h"
#include "common/run_log.h"
#include "common/string_table.h"
#include "payload/catalogue.h"
#include "payload/delete_tree.h"
#include "payload/leftover_folders.h"
#include "payload/package_folder.h"
#include "payload/program_path.h"
#include "payload/removal_choice.h"
#include "payload/work_folder.h"
#include "ports/ports_file.h"
#include "run/command_line.h"
#include "run/event_record.h"
#include "run/hidden_window.h"
#include "run/instance_lock.h"
#include "run/messages.h"
#include "run/result_codes.h"
#include "run/startup_checks.h"
#include "run/window_station.h"
#include "version.h"

namespace {

constexpr std::size_t kEndTextCapacity = 512;

struct RunState {
  int resultCode = kResultSuccess;
  const char* cause = "the outcome the setup posted (0 when it posted none)";
  DWORD childExit = 0;  // shown after the cause when it is not 0
  MessageSet messages = {};
  RunSwitches switches;
  HWND window = nullptr;
  wchar_t resultWindowArg[kResultWindowArgCapacity] = {};
};

// The first failure decides the exit code, except where a check outranks it.
void Fail(RunState& run, int code, const char* cause, DWORD childExit = 0) {
  if (run.resultCode != kResultSuccess) return;
  run.resultCode = code;
  run.cause = cause;
  run.childExit = childExit;
}

void ShowErrorIfInteractive(const RunState& run) {
  if (run.switches.runMode == Interactive) ShowRunError(run.messages, run.resultCode);
}

const char* LanguageName(UiLanguage language) {
  switch (language) {
    case UiLanguage::Japanese: return "Japanese";
    case UiLanguage::TraditionalChinese: return "Traditional Chinese";
    case UiLanguage::SimplifiedChinese: return "Simplified Chinese";
    default: return "English";
  }
}

void LogIdentity(const wchar_t* commandLine) {
  if (!RunLogOn()) return;
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  self[MAX_PATH - 1] = L'\0';
  Log("Portivo Installer " PORTIVO_VERSION_TEXT ", %s", self);
  Log("command line: %s", commandLine);
}

void LogStart(const wchar_t* commandLine, const RunSwitches& switches) {
  LogIdentity(commandLine);
  if (!RunLogOn()) return;
  const LANGID language = UserLanguageId();
  Log("user language %x: %a messages; %a, %a mode", static_cast<DWORD>(language), LanguageName(LanguageForId(language)),
      RunModeName(switches.runMode), switches.driverMode == KernelMode ? "kernel" : "user");
}

bool PassChecksBeforeWindow(RunState& run) {
  const int driverMode = CheckDriverMode(run.switches.driverMode);
  if (driverMode != kResultSuccess) {
    Fail(run, driverMode, "a driver of the other operation mode is installed");
    // A driver of the other mode is worth a box even in a quiet run: nothing else would tell.
    ShowRunError(run.messages, run.resultCode);
    return false;
  }
  if (CheckWindowsVersion() != kResultSuccess) {
    Fail(run, kResultUnsupportedOs, "Windows is older than Windows 2000");
    ShowErrorIfInteractive(run);
    return false;
  }
  return true;
}

bool PassChecksAfterWindow(RunState& run, const wchar_t* commandLine) {
  wchar_t mutexName[MAX_PATH];
  LoadTableString(kInstallerNameId, mutexName, MAX_PATH);
  if (CheckSingleInstance(mutexName) != kResultSuccess) {
    Fail(run, kResultAlreadyRunning, "another installer is running");
  } else if (!IsAdministrator()) {
    Fail(run, kResultNotAdministrator, "the user is not an administrator");
  }
  // A bad port pair outranks the earlier codes: a script learns about its own mistake first.
  const RequestedPorts ports = ParsePortSwitches(commandLine, run.switches.runMode);
  const int portCode = CheckRequestedPorts(ports, kResultSuccess);
  if (run.switches.runMode == SilentInstall) {
    Log("port check: QX port %d, KD port %d: %a", ports.qxPort, ports.kdPort,
        portCode == kResultSamePort      ? "the same port twice (106)"
        : portCode == kResultKdWithoutQx ? "a KD port without a QX port (107)"
                                         : "passed");
  }
  if (portCode != kResultSuccess) {
    run.resultCode = kResultSuccess;
    Fail(run, portCode, portCode == kResultSamePort ? "QX and KD name the same port" : "a KD port without a QX port");
  }
  if (run.resultCode != kResultSuccess) {
    ShowErrorIfInteractive(run);
    return false;
  }
  return true;
}

void FailUnpacking(RunState& run, UnpackResult unpacked) {
  Fail(run, kResultInstallFailed,
       unpacked == kPayloadDamaged      ? "the installer is damaged: a payload file does not match its digest"
       : unpacked == kWorkFolderNotOurs ? "the work folder could not be made anew"
                                        : "a payload file could not be written whole");
}

// A child's end as the run judges it: the setup, or in a removal run the emulator setup.
void JudgeChild(RunState& run, DWORD exitCode, bool started, bool emulator) {
  if (!ChildFailed(exitCode)) return;
  if (!started) {
    Fail(run, kResultInstallFailed, emulator ? "the emulator setup could not be started" : "the setup could not be started");
  } else if (exitCode == kChildStartFailed) {
    Fail(run, kResultInstallFailed, emulator ? "the emulator setup exited with 2" : "the setup exited with 2");
  } else {
    Fail(run, kResultInstallFailed, emulator ? "the emulator setup crashed" : "the setup crashed", exitCode);
  }
}

void RunInstallPath(RunState& run, const wchar_t* commandLine) {
  WorkFolder work;
  const UnpackResult unpacked = UnpackPayload(kInstallPayload, work);
  if (unpacked != kUnpacked) {
    FailUnpacking(run, unpacked);
    return;
  }
  wchar_t setupName[MAX_PATH];
  LoadTableString(kSetupNameId, setupName, MAX_PATH);
  wchar_t setupPath[MAX_PATH];
  if (!BuildProgramPath(setupPath, work.path, setupName) || !PathExists(setupPath)) {
    // Left on disk on purpose: what did arrive helps to find out why the setup did not.
    CloseHandle(work.guard);
    Log("the setup is missing from the work folder, which stays: %s", work.path);
    Fail(run, kResultInstallFailed, "the setup is missing from the work folder");
    return;
  }
  if (!WritePortsFile(work.path)) {
    // Without the whole file the setup would install without the ports' settings. The registry was
    // only read, so a run on a freed disk still carries them over.
    Fail(run, kResultInstallFailed, "PORTS.dat could not be written whole; the setup was not started");
    DeleteWorkFolder(work);
    return;
  }
  // Arguments that do not fit could not have been started either.
  wchar_t arguments[kChildCommandLineCapacity];
  if (!ComposeSetupArguments(arguments, kChildCommandLineCapacity, run.switches.setupSwitches,
                             run.resultWindowArg, commandLine)) {
    Log("the setup's command line would be longer than 1023 characters");
    Fail(run, kResultInstallFailed, "the setup could not be started: its command line is too long");
  } else {
    // The setup's dialog is the setup's business; an administrator who meets a time-out learns why.
    if (run.switches.runMode == Interactive && !WindowStationVisible()) {
      Log("no quiet switch on a window station nobody sees: the setup's own dialog will wait for a person");
    }
    bool started = false;
    const DWORD exitCode = RunChildAndWait(setupPath, arguments, BoundedLength(arguments, kChildCommandLineCapacity),
                                           run.window, &started);
    JudgeChild(run, exitCode, started, false);
  }
  // The marks tell a later run which driver mode is installed, whatever the setup made of it.
  if (!WriteKernelModeMarks(commandLine)) {
    Fail(run, kResultInstallFailed, "the driver's service key refused the kernel-mode marks");
  }
  // A folder left behind costs only room in %TEMP%, so the outcome stands.
  DeleteWorkFolder(work);
}

void RunRemovalPath(RunState& run) {
  WorkFolder work;
  const UnpackResult unpacked = UnpackPayload(kRemovalPayload, work);
  if (unpacked != kUnpacked) {
    FailUnpacking(run, unpacked);
    RemoveLeftoverFolders();
    return;
  }
  wchar_t emulatorSetupName[MAX_PATH];
  wchar_t libraryName[MAX_PATH];
  LoadTableString(ChooseEmulatorSetupNameId(), emulatorSetupName, MAX_PATH);
  LoadTableString(kCleanupLibraryNameId, libraryName, MAX_PATH);
  wchar_t emulatorSetupPath[MAX_PATH];
  wchar_t libraryPath[MAX_PATH];
  const bool setupPathFits = BuildProgramPath(emulatorSetupPath, work.path, emulatorSetupName);
  const bool libraryPathFits = BuildProgramPath(libraryPath, work.path, libraryName);
  // Both are tested, the program first, so that neither is used half-delivered.
  const bool setupPresent = setupPathFits && PathExists(emulatorSetupPath);
  const bool libraryPresent = libraryPathFits && PathExists(libraryPath);
  if (setupPresent && libraryPresent) {
    // The emulator setup still runs when the clean-up could not: it undoes what it can, and the
    // exit code says that the old driver was not cleaned up.
    if (CallCleanupLibrary(libraryPath) != kCleanupCalled) {
      Fail(run, kResultInstallFailed, "the clean-up library did not run");
    }
    bool started = false;
    const DWORD exitCode = RunChildAndWait(emulatorSetupPath, kRemovalArguments, 2, run.window, &started);
    JudgeChild(run, exitCode, started, true);
    DeleteWorkFolder(work);
    if (run.resultCode == kResultSuccess) run.cause = "the clean-up library and the emulator setup ran";
  } else {
    CloseHandle(work.guard);
    Log("the emulator setup or the clean-up library is missing; the work folder stays: %s", work.path);
    Fail(run, kResultInstallFailed, "the emulator setup or the clean-up library is missing from the work folder");
  }
  RemoveLeftoverFolders();
}

int FinishRun(RunState& run) {
  if (run.resultCode != kResultSuccess) {
    // The setup's outcome and end messages are still queued; the box's own loop would dispatch
    // them and the quit they request would close the box before anyone read it.
    DiscardQueuedResults(run.window);
    ShowErrorIfInteractive(run);
    DestroyWindow(run.window);
    return run.resultCode;
  }
  // The setup posted while we blocked in the wait, so its outcome is read from the queue now.
  RunMessageLoop();
  return static_cast<int>(ChildResult());
}

// The run's last words, for the log's last line and the event record alike.
void EndText(const RunState& run, int exitCode, wchar_t* text, std::size_t capacity) {
  if (run.childExit != 0) {
    FormatLogText(text, capacity, "exit code %d: %a (exit code %x)", exitCode, run.cause, run.childExit);
  } else {
    FormatLogText(text, capacity, "exit code %d: %a", exitCode, run.cause);
  }
}

// Extraction installs nothing, so the checks that guard an install do not apply, and every other
// switch on the line is ignored: a script that adds -extract: to its usual line gets the files and
// nothing else. It reads no registry, makes no window, mutex or work folder and shows no box.
int RunExtraction(RunState& run, const wchar_t* commandLine, const wchar_t* folder) {
  LogIdentity(commandLine);
  Log("extracting the package; every other switch is ignored");
  // The folder's descriptor and its one-step creation need Windows 2000.
  if (CheckWindowsVersion() != kResultSuccess) {
    Fail(run, kResultInstallFailed, "Windows is older than Windows 2000");
  } else if (folder[0] == L'\0') {
    Fail(run, kResultInstallFailed, "no folder follows -extract:, or it is longer than 259 characters");
  } else {
    const UnpackResult written = WritePackageFolder(folder);
    if (written == kWorkFolderNotOurs) {
      Fail(run, kResultInstallFailed, "the folder to extract into could not be made anew");
    } else if (written == kFolderWayBlocked) {
      Fail(run, kResultInstallFailed, "the folder to extract into could not be reached: a folder on its way could "
                                      "not be made, or is a link");
    } else if (written == kOwnerNotAllowed) {
      Fail(run, kResultInstallFailed, "the folder to extract into could not be made: only an elevated run may make "
                                      "Administrators its owner");
    } else if (written != kUnpacked) {
      FailUnpacking(run, written);
    } else {
      run.cause = "the package was written whole";
    }
  }
  return run.resultCode;
}

// commandLine is the installer's line without the log's switch; fullLine is the line as received.
int Run(RunState& run, HINSTANCE instance, const wchar_t* fullLine, const wchar_t* commandLine) {
  run.messages = SelectMessageSet();
  run.switches = ParseRunSwitches(commandLine, UserLanguageId());
  LogStart(fullLine, run.switches);
  if (!PassChecksBeforeWindow(run)) return run.resultCode;
  run.window = CreateHiddenWindow(instance);
  if (run.window == nullptr) {
    // Nothing could tell the setup's outcome, so nothing is started; a box needs no owner.
    Fail(run, kResultInstallFailed, "the hidden window, through which the setup reports, could not be made");
    ShowErrorIfInteractive(run);
    return run.resultCode;
  }
  BuildResultWindowArg(run.window, run.resultWindowArg, kResultWindowArgCapacity);
  if (!PassChecksAfterWindow(run, commandLine)) return run.resultCode;
  if (run.switches.runMode == Removal) {
    RunRemovalPath(run);
  } else {
    RunInstallPath(run, commandLine);
  }
  return FinishRun(run);
}

}  // namespace

int RunInstaller(HINSTANCE instance, const wchar_t* commandLine) {
  // The log's and the extraction's switches are for this installer alone: every other switch, and
  // the setup, get the line without them. Neither path can hide the other switch, since no colon
  // stands in a path but after its drive. The buffers hold the longest line Windows passes.
  wchar_t withoutLog[kCommandLineCapacity];
  wchar_t switchLine[kCommandLineCapacity];
  wchar_t logPath[MAX_PATH];
  wchar_t extractFolder[MAX_PATH];
  bool extract = false;
  if (!SplitPathSwitch(commandLine, kLogSwitch, withoutLog, kCommandLineCapacity, logPath, MAX_PATH) ||
      !SplitPathSwitch(withoutLog, kExtractSwitch, switchLine, kCommandLineCapacity, extractFolder, MAX_PATH,
                       &extract)) {
    return kResultInstallFailed;
  }
  if (logPath[0] != L'\0') OpenRunLog(logPath);
  RunState run;
  const int exitCode = extract ? RunExtraction(run, commandLine, extractFolder)
                               : Run(run, instance, commandLine, switchLine);
  wchar_t end[kEndTextCapacity];
  EndText(run, exitCode, end, kEndTextCapacity);
  // An extraction changes nothing on the machine, so it leaves no record and reads no registry.
  if (!extract) {
    RecordRunEnd(run.switches.runMode, exitCode, run.resultCode != kResultSuccess, end, withoutLog,
                 RunLogOn() ? logPath : L"");
  }
  Log("%s", end);
  return exitCode;
}
