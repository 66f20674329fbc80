// Runs programs as others than the elevated test itself, as the installer meets them on Windows:
// the person's own processes that are not elevated, and SYSTEM in session 0, where deployment tools
// start it through a scheduled task. Windows only: Wine gives every process an administrator's
// token and has no task scheduler.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "installer_runner.h"

namespace runner {

// "<system folder>\cmd.exe" /d /s /c "<command>"
std::wstring CmdCommandLine(const std::wstring& command);

// Runs a command line without a window, as the user of a primary token when one is given, and
// waits up to a minute. Its exit code; 0xFFFFFFFF when it did not start or end in time.
DWORD RunHidden(const std::wstring& command_line, HANDLE token = nullptr);

// This process's token as the person's processes that are not elevated hold it: the administrators
// group for denying only, the basic privileges, medium integrity. Null when it cannot be made.
HANDLE CreateNotElevatedToken();

// A manual-reset event "Global\<name>", which every session sees, open to SYSTEM and administrators.
HANDLE CreateGlobalEvent(const std::wstring& name);

// A run as SYSTEM: a command file in `folder` sets the environment, runs "<exe>" <arguments> and
// writes its exit code beside itself; a scheduled task made for it runs it once.
struct SystemRun {
  std::wstring task, folder;
  DWORD start_tick = 0;   // when the task was asked to run
};
int StartAsSystem(const std::wstring& exe, const std::wstring& arguments, const std::vector<EnvChange>& env,
                  const std::wstring& folder, SystemRun* run);
// kRunnerOk and the exit code once the run has ended; kRunnerStillRunning after wait_ms.
int WaitAsSystem(const SystemRun& run, DWORD wait_ms, DWORD* exit_code);
// Ends the task if it still runs, and deletes it.
void EndAsSystem(SystemRun* run);

}  // namespace runner
