// Test probe for the sample package, run under Wine by SampleRoundTrip.cmake. It plays the
// installer's side and prints what it saw as "key=value" lines:
//   sample_probe folders                  the Program Files and start-menu folders, as the installer reads them
//   sample_probe setup <exe> <message> [switch ...] -- [installer argument ...]
//                                         starts a setup as the installer does: exit code and posted messages
//   sample_probe call <library>           loads the clean-up library and calls its export
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void PrintMachineValue(const char* label, const wchar_t* keyPath, const wchar_t* valueName) {
  wchar_t value[MAX_PATH] = {}, expanded[MAX_PATH] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, keyPath, valueName, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                   nullptr, value, &size) == ERROR_SUCCESS) {
    ExpandEnvironmentStringsW(value, expanded, MAX_PATH);
  }
  std::printf("%s=%ls\n", label, expanded);
}

int Setup(int argc, wchar_t** argv) {
  const UINT resultMessage = static_cast<UINT>(_wtoi(argv[3]));
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  std::wstring switches, installerArgs;
  bool afterSeparator = false;
  for (int i = 4; i < argc; ++i) {
    if (!afterSeparator && std::wstring(argv[i]) == L"--") {
      afterSeparator = true;
      continue;
    }
    std::wstring& into = afterSeparator ? installerArgs : switches;
    into += (into.empty() ? L"" : L" ") + std::wstring(argv[i]);
  }
  // Switches, then one quoted argument with the window, the message and the installer's line.
  std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\" " + switches + L" \"/W32:" +
                             std::to_wstring(reinterpret_cast<LONG_PTR>(window)) + L":" + std::to_wstring(resultMessage) +
                             (installerArgs.empty() ? L"" : L" " + installerArgs) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(argv[2], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::printf("started=no\n");
    return 1;
  }
  // Like the installer, wait without pumping messages: only a posted outcome survives this.
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 999);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  std::printf("exit=%lu\n", exitCode);
  MSG msg;
  while (PeekMessageW(&msg, window, WM_USER, 0xFFFF, PM_REMOVE)) {
    std::printf("posted=%u:%lu\n", msg.message, static_cast<unsigned long>(msg.wParam));
  }
  return 0;
}

int Call(const wchar_t* library) {
  HMODULE module = LoadLibraryW(library);
  using Uninstall = DWORD(WINAPI*)();
  auto function = module ? reinterpret_cast<Uninstall>(reinterpret_cast<void*>(GetProcAddress(module, "RCVCLN_UninstQXCOMUSB")))
                         : nullptr;
  if (function != nullptr) std::printf("returned=%lu\n", function());
  return function != nullptr ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wstring(argv[1]) == L"folders") {
    PrintMachineValue("programfiles", L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesPath");
    PrintMachineValue("commonprograms", L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      L"Common Programs");
    return 0;
  }
  if (argc >= 4 && std::wstring(argv[1]) == L"setup") return Setup(argc, argv);
  if (argc >= 3 && std::wstring(argv[1]) == L"call") return Call(argv[2]);
  std::fprintf(stderr, "usage: sample_probe folders | setup <exe> <message> [switch...] -- [arg...] | call <dll>\n");
  return 64;
}
