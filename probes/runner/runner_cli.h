// The command line of runner.exe:
//   runner.exe [--env NAME=VALUE]... [--unset NAME]... [--cwd FOLDER] [--dismiss-after MS]
//              [--timeout MS] <installer.exe> [installer arguments...]
// The installer's arguments are passed on as the exact text that follows the installer's path,
// so quoting and spacing reach the installer unchanged.
#pragma once
#include <string>

#include "installer_runner.h"

namespace runner {

// Parses runner.exe's whole command line (its own program name first, as GetCommandLineW gives
// it). kRunnerBadArguments with *error saying why when it cannot be used.
int ParseRunnerCommandLine(const std::wstring& command_line, RunOptions* options,
                           std::wstring* error);

}  // namespace runner
