// The one record a run leaves in the Application event log, where administrators of a fleet look
// when a machine misbehaves: every run that may change the machine, whatever its switches, so that
// an agent's run without -log: leaves more than an exit code in the agent's own report.
#pragma once
#include <windows.h>

#include "run/command_line.h"

// The event source, registered under the Application log.
constexpr wchar_t kEventSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Portivo Installer";

// One event id per kind of end, each within the 1-1000 that the system's message file shows whole.
enum EventId : DWORD {
  kEventSucceeded = 100,      // exit code 0
  kEventRunFailed = 110,      // the installer ended the run with 1001
  kEventSetupOutcome = 200,   // the setup posted an outcome other than 0, relayed as the exit code
};                            // 101-107: the start-up check of the same number

struct EventChoice {
  WORD type;
  DWORD id;
};

// The type follows where the exit code came from, not its value: the installer cannot tell a
// restart request (3010) from a failure of the setup's own. installerEnded: the installer ended
// the run itself with one of its own result codes.
EventChoice ChooseEvent(int exitCode, bool installerEnded);

// "Portivo Installer <version>, <mode>: <end>", then the command line (without the log's switch)
// and, where there is one, the log's path, one per line. capacity: 3 * 2050 units or more.
void ComposeEventText(wchar_t* text, std::size_t capacity, RunMode mode, const wchar_t* end,
                      const wchar_t* commandLine, const wchar_t* logPath);

// Registers the source where its key is missing and reports the run's end, with the user's SID.
// A failure is a line in the run log and changes nothing else.
void RecordRunEnd(RunMode mode, int exitCode, bool installerEnded, const wchar_t* end, const wchar_t* commandLine,
                  const wchar_t* logPath);
