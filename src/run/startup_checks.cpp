#include "run/startup_checks.h"

#include "common/run_log.h"
#include "run/result_codes.h"

OpenThreadTokenFunction gOpenThreadToken = &::OpenThreadToken;

namespace {

const wchar_t kKernelModeServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvCe";
const wchar_t kEmulatorServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvikPEService";
// Room for the groups of the largest token Windows issues by default (MaxTokenSize, 48,000
// bytes); held on the stack, in DWORDs so that the SID pointers inside stay aligned.
constexpr DWORD kTokenGroupsCapacity = 48000;

// Only whether the value reads into 4 bytes counts, not its type or data: a longer value fails the
// query and so counts as no mark.
bool KernelModeMarkPresent() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKernelModeServiceKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  BYTE data[4];
  DWORD size = sizeof data;
  const LONG status = RegQueryValueExW(key, L"KM", nullptr, &type, data, &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool EmulatorServicePresent() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEmulatorServiceKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// The thread's impersonation token when there is one, so that an impersonating caller is judged as
// the user it stands for; the process token otherwise.
bool OpenCallerToken(HANDLE* token) {
  if (gOpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, token)) return true;
  if (GetLastError() != ERROR_NO_TOKEN) return false;
  return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token) != FALSE;
}

bool TokenListsAdministrators(HANDLE token) {
  DWORD size = 0;
  if (GetTokenInformation(token, TokenGroups, nullptr, 0, &size) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return false;
  }
  // A token with more groups than that is refused like an unreadable one.
  DWORD buffer[kTokenGroupsCapacity / sizeof(DWORD)];
  if (size > sizeof buffer || !GetTokenInformation(token, TokenGroups, buffer, size, &size)) {
    return false;
  }

  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return false;
  }
  const bool member =
      GroupsListSid(*reinterpret_cast<const TOKEN_GROUPS*>(buffer), administrators);
  FreeSid(administrators);
  return member;
}

}  // namespace

int DriverModeResult(bool emulatorServicePresent, bool kernelModeMark, DriverMode driverMode) {
  // An installed emulator service means a user-mode installation, whatever "KM" says.
  if (emulatorServicePresent) return driverMode == KernelMode ? kResultModeConflict : kResultSuccess;
  if (kernelModeMark && driverMode == UserMode) return kResultModeConflict;
  return kResultSuccess;
}

int CheckDriverMode(DriverMode driverMode) {
  const bool mark = KernelModeMarkPresent();
  const bool emulator = EmulatorServicePresent();
  const int result = DriverModeResult(emulator, mark, driverMode);
  Log("driver mode check: emulator service %a, kernel-mode mark %a, asked for %a mode: %a",
      emulator ? "installed" : "absent", mark ? "present" : "absent", driverMode == KernelMode ? "kernel" : "user",
      result == kResultSuccess ? "passed" : "a driver of the other mode is installed (103)");
  return result;
}

int CheckWindowsVersion() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  // A failed call leaves the major version at 0, which is refused like any pre-2000 Windows.
  version.dwMajorVersion = 0;
  if (!GetVersionExW(&version)) Log("Windows version unknown: %e", GetLastError());
  const int result = version.dwMajorVersion >= 5 ? kResultSuccess : kResultUnsupportedOs;
  Log("Windows version check: %u.%u build %u: %a", version.dwMajorVersion, version.dwMinorVersion,
      version.dwBuildNumber, result == kResultSuccess ? "passed" : "older than Windows 2000 (102)");
  return result;
}

bool GroupsListSid(const TOKEN_GROUPS& groups, PSID sid) {
  for (DWORD i = 0; i < groups.GroupCount; ++i) {
    if (EqualSid(groups.Groups[i].Sid, sid)) return true;
  }
  return false;
}

bool IsAdministrator() {
  HANDLE token;
  if (!OpenCallerToken(&token)) {
    Log("administrator check: the token cannot be opened (104), %e", GetLastError());
    return false;
  }
  const bool member = TokenListsAdministrators(token);
  CloseHandle(token);
  Log(member ? "administrator check: passed"
             : "administrator check: the token does not list the administrators group, or cannot be read (104)");
  return member;
}

int CheckRequestedPorts(RequestedPorts ports, int resultCode) {
  if (ports.qxPort != 0 && ports.qxPort == ports.kdPort) return kResultSamePort;
  if (ports.qxPort == 0 && ports.kdPort != 0) return kResultKdWithoutQx;
  return resultCode;
}
