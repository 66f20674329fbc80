// Test probe that stands in for the user-mode emulator setups "OPESetup32.exe" and
// "OPESetup64.exe" (one source, built for both widths). It appends one line to the removal log,
// so that a test sees which width ran, with what command line, and after what:
//
//   PROBE_REMOVAL_RECORD=<file>  the log, shared with the clean-up library probe; the line is
//     kind=opesetup|seq=<line number>|bits=<32|64>|pid=<id>|cwd=<folder>|module=<path>|cmdline=<text>
//     (the command line is last and runs to the end of the line)
//   PROBE_OPE_EXIT=<code>|crash  exit code (decimal, negative decimal or 0x-hex; default 0), or
//                                crash: write through a null pointer once the line is written
#include <windows.h>

#include <string>

#include "common/probe_support.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  bool present = false;
  const std::wstring log = probe::ReadEnv(L"PROBE_REMOVAL_RECORD", &present);
  if (present) {
    probe::AppendLogLine(log, "opesetup",
                         std::string("bits=") + (sizeof(void*) == 8 ? "64" : "32") +
                             "|pid=" + probe::Decimal(GetCurrentProcessId()) +
                             "|cwd=" + probe::Utf8(probe::CurrentFolder()) +
                             "|module=" + probe::Utf8(probe::ModulePath(nullptr)) +
                             "|cmdline=" + probe::Utf8(GetCommandLineW()));
  }
  if (probe::ReadEnv(L"PROBE_OPE_EXIT") == L"crash") probe::CrashByNullWrite();
  unsigned long exit_code = 0;
  probe::ParseNumber(probe::ReadEnv(L"PROBE_OPE_EXIT"), &exit_code);
  return static_cast<int>(exit_code);
}
