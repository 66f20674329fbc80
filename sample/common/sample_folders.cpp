#include "sample_folders.h"

#include <windows.h>

const wchar_t kCompanyFolder[] = L"ORVIK";
const wchar_t kProductFolder[] = L"Portivo";
const wchar_t kStartMenuFolder[] = L"ORVIK Portivo";

namespace {

// The installer is a 32-bit program (except in a 64-bit test build), so on 64-bit Windows it reads the 32-bit registry view and
// its %ProgramFiles% is the x86 folder. The 64-bit emulator setup must look where it looked.
std::wstring As32BitProcessSees(std::wstring text) {
#if defined(_WIN64) && !defined(SAMPLE_INSTALLER_IS_64BIT)
  wchar_t probe[4];
  if (GetEnvironmentVariableW(L"ProgramFiles(x86)", probe, 4) == 0) return text;
  const std::wstring names[] = {L"%ProgramFiles%", L"%CommonProgramFiles%"};
  for (const std::wstring& name : names) {
    std::wstring replacement = name.substr(0, name.size() - 1) + L"(x86)%";
    for (std::size_t pos = 0; pos + name.size() <= text.size(); ++pos) {
      if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str() + pos,
                         static_cast<int>(name.size()), name.c_str(),
                         static_cast<int>(name.size())) == CSTR_EQUAL) {
        text.replace(pos, name.size(), replacement);
        pos += replacement.size() - 1;
      }
    }
  }
#endif
  return text;
}

std::wstring Expand(const std::wstring& text) {
  std::wstring source = As32BitProcessSees(text);
  wchar_t expanded[MAX_PATH] = {};
  DWORD n = ExpandEnvironmentStringsW(source.c_str(), expanded, MAX_PATH);
  if (n == 0 || n > MAX_PATH) return L"";
  std::wstring out = expanded;
  // Unexpanded variables mean the environment lacks them; such a path is no use.
  if (out.find(L'%') != std::wstring::npos) return L"";
  while (out.size() > 3 && out.back() == L'\\') out.pop_back();
  return out;
}

std::wstring MachineValue(const wchar_t* keyPath, const wchar_t* valueName) {
  REGSAM access = KEY_QUERY_VALUE;
#if defined(_WIN64) && !defined(SAMPLE_INSTALLER_IS_64BIT)
  access |= KEY_WOW64_32KEY;
#endif
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, access, &key) != ERROR_SUCCESS) return L"";
  wchar_t value[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH * sizeof(wchar_t);
  DWORD type = 0;
  LONG result =
      RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return L"";
  return value;
}

std::wstring WindowsDrive() {
  wchar_t windows[MAX_PATH] = {};
  UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  if (n < 2 || n >= MAX_PATH || windows[1] != L':') return L"C:";
  return std::wstring(windows, 2);
}

BaseFolder FirstFound(const std::wstring (&candidates)[3], const wchar_t* const (&sources)[3]) {
  for (int i = 0; i < 3; ++i) {
    std::wstring path = Expand(candidates[i]);
    if (!path.empty()) return {path, sources[i]};
  }
  return {L"", L"not found"};
}

}  // namespace

BaseFolder ProgramFilesBase() {
  const std::wstring candidates[3] = {
      MachineValue(L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesPath"),
      L"%ProgramFiles%", WindowsDrive() + L"\\Program Files"};
  const wchar_t* const sources[3] = {L"registry ProgramFilesPath", L"environment ProgramFiles",
                                     L"Windows drive"};
  return FirstFound(candidates, sources);
}

BaseFolder CommonProgramsBase() {
  const std::wstring candidates[3] = {
      MachineValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                   L"Common Programs"),
      L"%ALLUSERSPROFILE%\\Start Menu\\Programs", L""};
  const wchar_t* const sources[3] = {L"registry Common Programs", L"environment ALLUSERSPROFILE",
                                     L""};
  return FirstFound(candidates, sources);
}

std::wstring OwnPath() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return L"";
  return path;
}

std::wstring OwnFolder() {
  std::wstring path = OwnPath();
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

std::wstring CurrentFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, path);
  return n == 0 || n > MAX_PATH ? L"" : path;
}
