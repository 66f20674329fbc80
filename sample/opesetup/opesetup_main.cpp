// The sample package's port emulator setup, built once for 32-bit and once for 64-bit Windows.
// The installer's removal run starts it with "/9": it takes away what the sample setup installed
// and leaves the emptied "ORVIK" and "ORVIK Portivo" folders to the installer's own tidying.
#include <windows.h>

#include <string>

#include "common/sample_folders.h"
#include "common/sample_install.h"
#include "common/sample_log.h"

namespace {

#ifdef _WIN64
const wchar_t kProgram[] = L"OPESetup64.exe";
const wchar_t kWidth[] = L"64-bit";
#else
const wchar_t kProgram[] = L"OPESetup32.exe";
const wchar_t kWidth[] = L"32-bit";
#endif

bool HasRemoveSwitch(const std::wstring& args) {
  std::size_t pos = args.find(L"/9");
  // "/9" as a word of its own, not the start of "/90".
  return pos != std::wstring::npos && (pos + 2 == args.size() || args[pos + 2] == L' ');
}

int RunEmulatorSetup(const wchar_t* commandLine) {
  SampleLog(kProgram,
            std::wstring(kWidth) + L" build started with the command line: " + GetCommandLineW());
  SampleLog(kProgram, L"running from: " + OwnFolder() + L"; current folder: " + CurrentFolder());
  if (!HasRemoveSwitch(commandLine)) {
    SampleLog(kProgram,
              L"no \"/9\": this sample only knows how to remove; nothing done, exit code 1");
    return 1;
  }
  InstallTargets targets = FindInstallTargets(kProgram);
  DWORD error = RemoveSampleFiles(kProgram, targets, false);
  int exitCode = error == 0 ? 0 : 2;
  SampleLog(kProgram, (error == 0 ? std::wstring(L"removal succeeded")
                                  : L"removal failed, error " + DecimalText(error)) +
                          L"; exit code " + DecimalText(exitCode));
  return exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  return RunEmulatorSetup(commandLine);
}
