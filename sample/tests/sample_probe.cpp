// Test probe for the sample package, run under Wine by SampleRoundTrip.cmake. It plays the
// installer's side of each contract and prints what it saw as "key=value" lines:
//   sample_probe folders                 the folders the installer's removal run tidies
//   sample_probe setup <exe> <message> [switch ...] -- [installer argument ...]
//                                        start a setup the way the installer does and report the
//                                        exit code, its dialog and the messages it posted
//   sample_probe call <library>          load the clean-up library and call its export
// The folder lookups are written here again on purpose, the way the installer reads them, so a
// sample program that looks elsewhere is caught.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

void Print(const char* key, const std::wstring& value) {
  std::printf("%s=%s\n", key, Narrow(value).c_str());
}

std::wstring ExpandedMachineValue(const wchar_t* keyPath, const wchar_t* valueName) {
  HKEY key;
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, keyPath, &key) != ERROR_SUCCESS) return L"";
  wchar_t value[MAX_PATH] = {};
  wchar_t expanded[MAX_PATH] = {};
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
      ERROR_SUCCESS) {
    ExpandEnvironmentStringsW(value, expanded, MAX_PATH);
  }
  RegCloseKey(key);
  return expanded;
}

int Folders() {
  Print("programfiles",
        ExpandedMachineValue(L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesPath"));
  Print("commonprograms",
        ExpandedMachineValue(
            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
            L"Common Programs"));
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  Print("temp", temp);
  return 0;
}

UINT g_resultMessage = 0;
std::vector<std::string> g_sent;

LRESULT CALLBACK ResultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == g_resultMessage && InSendMessage()) {
    g_sent.push_back(std::to_string(message) + ":" + std::to_string(wParam));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

struct DialogSearch {
  DWORD processId;
  std::wstring found;
};

BOOL CALLBACK FindSetupDialog(HWND window, LPARAM context) {
  DialogSearch* search = reinterpret_cast<DialogSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[256] = {};
  if (owner == search->processId && IsWindowVisible(window) &&
      GetClassNameW(window, className, 256) > 0 && wcsstr(className, L"TSetDialog") != nullptr) {
    search->found = className;
    return FALSE;
  }
  return TRUE;
}

int Setup(int argc, wchar_t** argv) {
  if (argc < 4) return 64;
  g_resultMessage = static_cast<UINT>(_wtoi(argv[3]));
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = ResultProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"SampleProbeResult";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, L"SampleProbeResult", L"sample probe", WS_OVERLAPPED, 0, 0, 10,
                                10, nullptr, nullptr, windowClass.hInstance, nullptr);

  std::wstring switches;
  std::wstring installerArgs;
  bool afterSeparator = false;
  for (int i = 4; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (!afterSeparator && arg == L"--") {
      afterSeparator = true;
      continue;
    }
    std::wstring& into = afterSeparator ? installerArgs : switches;
    if (!into.empty()) into += L" ";
    into += arg;
  }
  // Composed as the installer composes it: switches, then one quoted argument with the window,
  // the message and the installer's own command line.
  std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\" " + switches + L" \"/W32:" +
                             std::to_wstring(reinterpret_cast<LONG_PTR>(window)) + L":" +
                             std::to_wstring(g_resultMessage) +
                             (installerArgs.empty() ? L"" : L" " + installerArgs) + L"\"";
  Print("commandline", commandLine);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  if (!CreateProcessW(argv[2], buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::printf("started=no error=%lu\n", GetLastError());
    return 1;
  }
  // Like the installer, wait without pumping messages: only a posted outcome survives this.
  DialogSearch search = {process.dwProcessId, L""};
  DWORD waited = WAIT_TIMEOUT;
  for (int round = 0; round < 1200 && waited == WAIT_TIMEOUT; ++round) {
    if (search.found.empty()) EnumWindows(FindSetupDialog, reinterpret_cast<LPARAM>(&search));
    waited = WaitForSingleObject(process.hProcess, 50);
  }
  if (waited == WAIT_TIMEOUT) {
    std::printf("timeout=yes\n");
    TerminateProcess(process.hProcess, 999);
    WaitForSingleObject(process.hProcess, 5000);
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  std::printf("exit=%lu\n", exitCode);
  Print("dialog", search.found.empty() ? L"none" : search.found);
  MSG msg;
  while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_USER) {
      std::printf("posted=%u:%lu\n", msg.message, static_cast<unsigned long>(msg.wParam));
    }
  }
  for (const std::string& sent : g_sent) std::printf("sent=%s\n", sent.c_str());
  DestroyWindow(window);
  return 0;
}

int Call(const wchar_t* library) {
  HMODULE module = LoadLibraryW(library);
  if (module == nullptr) {
    std::printf("loaded=no error=%lu\n", GetLastError());
    return 1;
  }
  typedef DWORD(WINAPI * Uninstall)();
  Uninstall function = reinterpret_cast<Uninstall>(
      reinterpret_cast<void*>(GetProcAddress(module, "RCVCLN_UninstQXCOMUSB")));
  std::printf("export=%s\n", function != nullptr ? "found" : "missing");
  if (function != nullptr) std::printf("returned=%lu\n", function());
  std::printf("freed=%s\n", FreeLibrary(module) ? "yes" : "no");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wstring(argv[1]) == L"folders") return Folders();
  if (argc >= 4 && std::wstring(argv[1]) == L"setup") return Setup(argc, argv);
  if (argc >= 3 && std::wstring(argv[1]) == L"call") return Call(argv[2]);
  std::fprintf(
      stderr,
      "usage: sample_probe folders | setup <exe> <message> [switch...] -- [arg...] | call <dll>\n");
  return 64;
}
