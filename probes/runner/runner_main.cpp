// runner.exe: runs an installer once, answers its message boxes and prints them and the full
// exit code, in UTF-8. Its own exit code is 0 when the installer ran to its end, else the
// runner's status (see installer_runner.h).
#include <windows.h>

#include <cstdio>
#include <string>

#include "installer_runner.h"
#include "runner_cli.h"

namespace {

void Print(HANDLE out, const std::string& text) {
  DWORD written = 0;
  WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
  return text;
}

}  // namespace

int main() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  runner::RunOptions options;
  std::wstring error;
  int status = runner::ParseRunnerCommandLine(GetCommandLineW(), &options, &error);
  if (status != runner::kRunnerOk) {
    Print(err, "runner: " + runner::Utf8FromWide(error) +
                   "\nusage: runner.exe [--env NAME=VALUE]... [--unset NAME]... [--cwd FOLDER] "
                   "[--dismiss-after MS] [--timeout MS] <installer.exe> [installer arguments...]\n");
    return status;
  }
  runner::RunReport report;
  status = runner::RunInstaller(options, &report);
  for (const runner::CapturedBox& box : report.boxes) Print(out, runner::DescribeBox(box) + "\n");
  if (status == runner::kRunnerOk) {
    Print(out, "exit code: " + std::to_string(report.exit_code) + " (" + Hex(report.exit_code) +
                   ")\n");
  } else if (status == runner::kRunnerTimedOut) {
    Print(err, "runner: the installer did not end within " + std::to_string(options.timeout_ms) +
                   " ms and was ended\n");
  } else if (status == runner::kRunnerStartFailed) {
    Print(err, "runner: could not start " + runner::Utf8FromWide(options.exe_path) +
                   " (error " + std::to_string(report.start_error) + ")\n");
  } else {
    Print(err, "runner: failed with status " + std::to_string(status) + "\n");
  }
  return status;
}
