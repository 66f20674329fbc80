#include "payload/leftover_folders.h"

#include <windows.h>

#include "payload/delete_tree.h"

namespace {

constexpr DWORD kFolderCapacity = MAX_PATH;

// The value as a path, with %SystemDrive% and the like expanded.
std::wstring ReadFolderValue(const wchar_t* keyPath, const wchar_t* valueName) {
  HKEY key;
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, keyPath, &key) != ERROR_SUCCESS) return std::wstring();
  wchar_t value[kFolderCapacity] = {};
  DWORD type = 0;
  DWORD size = sizeof value;
  const LONG status =
      RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::wstring();
  // Registry text need not carry its terminator.
  const DWORD length = size / sizeof(wchar_t);
  value[length < kFolderCapacity ? length : kFolderCapacity - 1] = L'\0';

  wchar_t expanded[kFolderCapacity] = {};
  const DWORD needed = ExpandEnvironmentStringsW(value, expanded, kFolderCapacity);
  // A path that did not fit is not a path at all; better no folder than a cut one.
  if (needed == 0 || needed > kFolderCapacity) return std::wstring();
  return expanded;
}

void RemoveIfKnown(const std::wstring& folder) {
  if (!folder.empty()) RemoveFolderIfEmpty(folder);
}

}  // namespace

bool RemoveFolderIfEmpty(const std::wstring& folder) {
  if (folder.empty()) return false;
  wchar_t pattern[MAX_PATH];
  if (!SearchPattern(folder.c_str(), pattern, MAX_PATH)) return false;
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW(pattern, &entry);
  if (search != INVALID_HANDLE_VALUE) {
    // "." and ".." are skipped by their leading full stop, and with them any other such name.
    int entries = 0;
    do {
      if (entry.cFileName[0] != L'.') ++entries;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (entries != 0) return false;
  }
  // A read-only folder would refuse to go.
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryW(folder.c_str()) != FALSE;
}

std::wstring GetCommonProgramsFolder() {
  return ReadFolderValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                         L"Common Programs");
}

std::wstring GetProgramFilesFolder() {
  return ReadFolderValue(L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesPath");
}

std::wstring LeftoverFolderPath(const std::wstring& base, const wchar_t* suffix) {
  if (base.empty()) return std::wstring();
  return base + suffix;
}

void RemoveLeftoverFolders() {
  RemoveIfKnown(LeftoverFolderPath(GetProgramFilesFolder(), L"\\ORVIK"));
  RemoveIfKnown(LeftoverFolderPath(GetCommonProgramsFolder(), L"\\ORVIK"));
  // A sibling of the folder above, not inside it.
  RemoveIfKnown(LeftoverFolderPath(GetCommonProgramsFolder(), L"\\ORVIK Portivo"));
}
