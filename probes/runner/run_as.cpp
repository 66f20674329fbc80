// TokenIntegrityLevel and the restricted token's LUA flag came with Vista.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include "run_as.h"

#include <sddl.h>

#include <cstdlib>

#include "resource_patch.h"

namespace runner {

namespace {

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring CodeFile(const std::wstring& folder) { return folder + L"\\system-exit-code.txt"; }

}  // namespace

std::wstring CmdCommandLine(const std::wstring& command) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return Quoted(std::wstring(system) + L"\\cmd.exe") + L" /d /s /c " + Quoted(command);
}

DWORD RunHidden(const std::wstring& command_line, HANDLE token) {
  std::wstring line = command_line;
  wchar_t folder[MAX_PATH] = {};  // one every user may read
  GetSystemDirectoryW(folder, MAX_PATH);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (!(token == nullptr ? CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                          folder, &startup, &child)
                         : CreateProcessAsUserW(token, nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                                nullptr, folder, &startup, &child))) {
    return 0xFFFFFFFF;
  }
  DWORD code = 0xFFFFFFFF;
  if (WaitForSingleObject(child.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(child.hProcess, &code);
  TerminateProcess(child.hProcess, code);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  return code;
}

HANDLE CreateNotElevatedToken() {
  HANDLE own = nullptr, token = nullptr;
  PSID administrators = nullptr, medium = nullptr;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own) &&
      AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                               &administrators) &&
      ConvertStringSidToSidW(L"S-1-16-8192", &medium)) {
    SID_AND_ATTRIBUTES deny_only = {administrators, 0};
    TOKEN_MANDATORY_LABEL label = {{medium, SE_GROUP_INTEGRITY}};
    if (CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE | LUA_TOKEN, 1, &deny_only, 0, nullptr, 0, nullptr, &token) &&
        !SetTokenInformation(token, TokenIntegrityLevel, &label, sizeof label + GetLengthSid(medium))) {
      CloseHandle(token);
      token = nullptr;
    }
  }
  if (own != nullptr) CloseHandle(own);
  if (administrators != nullptr) FreeSid(administrators);
  LocalFree(medium);
  return token;
}

HANDLE CreateGlobalEvent(const std::wstring& name) {
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1,
                                                            &attributes.lpSecurityDescriptor, nullptr)) {
    return nullptr;
  }
  const HANDLE event = CreateEventW(&attributes, TRUE, FALSE, (L"Global\\" + name).c_str());
  LocalFree(attributes.lpSecurityDescriptor);
  return event;
}

int StartAsSystem(const std::wstring& exe, const std::wstring& arguments, const std::vector<EnvChange>& env,
                  const std::wstring& folder, SystemRun* run) {
  *run = SystemRun{L"PortivoTest" + std::to_wstring(GetCurrentProcessId()), folder, 0};
  const std::wstring code = CodeFile(folder), script = folder + L"\\as-system.cmd";
  DeleteFileW(code.c_str());
  std::wstring text = L"@echo off\r\n";
  for (const EnvChange& change : env) text += L"set \"" + change.name + L"=" + change.value + L"\"\r\n";
  text += Quoted(exe) + L" " + arguments + L"\r\n>" + Quoted(code + L".tmp") + L" echo %ERRORLEVEL%\r\nmove /y " +
          Quoted(code + L".tmp") + L" " + Quoted(code) + L"\r\n";
  // cmd.exe reads a command file in the OEM code page.
  std::string bytes(text.size() * 2, '\0');
  bytes.resize(WideCharToMultiByte(CP_OEMCP, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0],
                                   static_cast<int>(bytes.size()), nullptr, nullptr));
  const HANDLE file = CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!whole) return kRunnerFileError;
  if (RunHidden(L"schtasks.exe /create /f /ru SYSTEM /sc once /st 00:00 /tn " + run->task + L" /tr " +
                Quoted(L"\\\"" + script + L"\\\"")) != 0 ||
      RunHidden(L"schtasks.exe /run /tn " + run->task) != 0) {
    return kRunnerStartFailed;
  }
  run->start_tick = GetTickCount();
  return kRunnerOk;
}

int WaitAsSystem(const SystemRun& run, DWORD wait_ms, DWORD* exit_code) {
  const std::wstring code = CodeFile(run.folder);
  for (const DWORD begin = GetTickCount(); GetFileAttributesW(code.c_str()) == INVALID_FILE_ATTRIBUTES; Sleep(200)) {
    if (GetTickCount() - begin > wait_ms) return kRunnerStillRunning;
  }
  std::vector<unsigned char> bytes;
  if (ReadWholeFile(code, &bytes) != kRunnerOk) return kRunnerExitCodeUnreadable;
  *exit_code = std::strtoul(std::string(bytes.begin(), bytes.end()).c_str(), nullptr, 10);
  return kRunnerOk;
}

void EndAsSystem(SystemRun* run) {
  if (run->task.empty()) return;
  RunHidden(L"schtasks.exe /end /tn " + run->task);
  RunHidden(L"schtasks.exe /delete /f /tn " + run->task);
  run->task.clear();
}

}  // namespace runner
