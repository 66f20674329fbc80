#include "run/run_sequence.h"

#include <string>

#include "child/command_lines.h"
#include "child/launcher.h"
#include "payload/catalogue.h"
#include "payload/delete_tree.h"
#include "payload/program_path.h"
#include "payload/work_folder.h"
#include "run/command_line.h"
#include "run/dll_search.h"
#include "run/hidden_window.h"
#include "run/language.h"
#include "run/messages.h"
#include "run/result_codes.h"
#include "run/string_table.h"

namespace {

struct RunState {
  int resultCode = kResultSuccess;
  MessageSet messages = {};
  RunSwitches switches;
  HWND window = nullptr;
  std::wstring resultWindowArg;
};

void ShowErrorIfInteractive(const RunState& run) {
  if (run.switches.runMode == Interactive) ShowRunError(run.messages, run.resultCode);
}

void RunInstallPath(RunState& run, const wchar_t* commandLine) {
  const std::wstring workFolder = DeployPayload(kInstallPayload);
  wchar_t setupPath[MAX_PATH];
  if (!BuildProgramPath(setupPath, workFolder, LoadTableString(kSetupNameId)) ||
      !PathExists(setupPath)) {
    // Left on disk on purpose: what did arrive helps to find out why the setup did not.
    run.resultCode = kResultInstallFailed;
    return;
  }
  const std::wstring arguments =
      ComposeSetupArguments(run.switches.setupSwitches, run.resultWindowArg, commandLine);
  if (RunChildAndWait(setupPath, arguments.c_str(), arguments.size(), run.window) == kChildStartFailed) {
    run.resultCode = kResultInstallFailed;
  }
  DeleteFolderTree(workFolder);
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

  run.window = CreateHiddenWindow(instance);
  if (run.window == nullptr) return kResultSuccess;
  run.resultWindowArg = BuildResultWindowArg(run.window);

  if (run.resultCode != kResultSuccess) {
    ShowErrorIfInteractive(run);
    return run.resultCode;
  }
  if (run.switches.runMode != Removal) RunInstallPath(run, commandLine);
  return FinishRun(run);
}
