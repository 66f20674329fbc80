#include "run/run_sequence.h"

#include "child/cleanup_library.h"
#include "child/command_lines.h"
#include "child/launcher.h"
#include "child/registry_marks.h"
#include "common/bounded_text.h"
#include "common/language.h"
#include "common/string_table.h"
#include "payload/catalogue.h"
#include "payload/delete_tree.h"
#include "payload/leftover_folders.h"
#include "payload/program_path.h"
#include "payload/removal_choice.h"
#include "payload/work_folder.h"
#include "ports/ports_file.h"
#include "run/command_line.h"
#include "run/dll_search.h"
#include "run/hidden_window.h"
#include "run/messages.h"
#include "run/result_codes.h"
#include "run/startup_checks.h"

namespace {

struct RunState {
  int resultCode = kResultSuccess;
  MessageSet messages = {};
  RunSwitches switches;
  HWND window = nullptr;
  wchar_t resultWindowArg[kResultWindowArgCapacity] = {};
};

void ShowErrorIfInteractive(const RunState& run) {
  if (run.switches.runMode == Interactive) ShowRunError(run.messages, run.resultCode);
}

bool PassChecksBeforeWindow(RunState& run) {
  run.resultCode = CheckDriverMode(run.switches.driverMode);
  if (run.resultCode != kResultSuccess) {
    // A driver of the other mode is worth a box even in a quiet run: nothing else would tell.
    ShowRunError(run.messages, run.resultCode);
    return false;
  }
  run.resultCode = CheckWindowsVersion();
  if (run.resultCode != kResultSuccess) {
    ShowErrorIfInteractive(run);
    return false;
  }
  return true;
}

bool PassChecksAfterWindow(RunState& run, const wchar_t* commandLine) {
  wchar_t mutexName[MAX_PATH];
  LoadTableString(kInstallerNameId, mutexName, MAX_PATH);
  run.resultCode = CheckSingleInstance(mutexName);
  if (run.resultCode == kResultSuccess && !IsAdministrator()) run.resultCode = kResultNotAdministrator;
  // A bad port pair outranks the earlier codes: a script learns about its own mistake first.
  run.resultCode =
      CheckRequestedPorts(ParsePortSwitches(commandLine, run.switches.runMode), run.resultCode);
  if (run.resultCode != kResultSuccess) {
    ShowErrorIfInteractive(run);
    return false;
  }
  return true;
}

void RunInstallPath(RunState& run, const wchar_t* commandLine) {
  WorkFolder work;
  if (!UnpackPayload(kInstallPayload, work)) {
    run.resultCode = kResultInstallFailed;
    return;
  }
  wchar_t setupName[MAX_PATH];
  LoadTableString(kSetupNameId, setupName, MAX_PATH);
  wchar_t setupPath[MAX_PATH];
  if (!BuildProgramPath(setupPath, work.path, setupName) || !PathExists(setupPath)) {
    // Left on disk on purpose: what did arrive helps to find out why the setup did not.
    CloseHandle(work.guard);
    run.resultCode = kResultInstallFailed;
    return;
  }
  if (!WritePortsFile(work.path)) {
    // Without the whole file the setup would install without the ports' settings. The registry was
    // only read, so a run on a freed disk still carries them over.
    run.resultCode = kResultInstallFailed;
    DeleteWorkFolder(work);
    return;
  }
  // Arguments that do not fit could not have been started either.
  wchar_t arguments[kChildCommandLineCapacity];
  if (!ComposeSetupArguments(arguments, kChildCommandLineCapacity, run.switches.setupSwitches,
                             run.resultWindowArg, commandLine) ||
      ChildFailed(RunChildAndWait(setupPath, arguments,
                                  BoundedLength(arguments, kChildCommandLineCapacity), run.window))) {
    run.resultCode = kResultInstallFailed;
  }
  // The marks tell a later run which driver mode is installed, whatever the setup made of it.
  if (!WriteKernelModeMarks(commandLine)) run.resultCode = kResultInstallFailed;
  // A folder left behind costs only room in %TEMP%, so the outcome stands.
  DeleteWorkFolder(work);
}

void RunRemovalPath(RunState& run) {
  WorkFolder work;
  if (!UnpackPayload(kRemovalPayload, work)) {
    run.resultCode = kResultInstallFailed;
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
    if (CallCleanupLibrary(libraryPath) != kCleanupCalled) run.resultCode = kResultInstallFailed;
    if (ChildFailed(RunChildAndWait(emulatorSetupPath, kRemovalArguments, 2, run.window))) {
      run.resultCode = kResultInstallFailed;
    }
    DeleteWorkFolder(work);
  } else {
    CloseHandle(work.guard);
    run.resultCode = kResultInstallFailed;
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

}  // namespace

int RunInstaller(HINSTANCE instance, const wchar_t* commandLine) {
  InitCommonControlsFromSystem();
  RunState run;
  run.messages = SelectMessageSet();
  run.switches = ParseRunSwitches(commandLine, UserLanguageId());
  if (!PassChecksBeforeWindow(run)) return run.resultCode;
  run.window = CreateHiddenWindow(instance);
  if (run.window == nullptr) {
    // Nothing could tell the setup's outcome, so nothing is started; a box needs no owner.
    run.resultCode = kResultInstallFailed;
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
