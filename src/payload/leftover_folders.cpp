#include "payload/leftover_folders.h"

#include "common/bounded_text.h"
#include "common/run_log.h"
#include "payload/delete_tree.h"

namespace {

constexpr DWORD kFolderCapacity = MAX_PATH;

// The value as a path, with %SystemDrive% and the like expanded.
bool ReadFolderValue(const wchar_t* keyPath, const wchar_t* valueName,
                     wchar_t (&expanded)[kFolderCapacity]) {
  expanded[0] = L'\0';
  HKEY key;
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, keyPath, &key) != ERROR_SUCCESS) return false;
  wchar_t value[kFolderCapacity] = {};
  DWORD type = 0;
  DWORD size = sizeof value;
  const LONG status =
      RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return false;
  // Registry text need not carry its terminator.
  const DWORD length = size / sizeof(wchar_t);
  value[length < kFolderCapacity ? length : kFolderCapacity - 1] = L'\0';

  const DWORD needed = ExpandEnvironmentStringsW(value, expanded, kFolderCapacity);
  // A path that did not fit is not a path at all; better no folder than a cut one.
  if (needed == 0 || needed > kFolderCapacity) {
    expanded[0] = L'\0';
    return false;
  }
  return expanded[0] != L'\0';
}

void RemoveBelow(const wchar_t* base, const wchar_t* suffix) {
  wchar_t folder[MAX_PATH];
  if (LeftoverFolderPath(base, suffix, folder) && RemoveFolderIfEmpty(folder)) {
    Log("removed the empty folder %s", folder);
  }
}

}  // namespace

bool RemoveFolderIfEmpty(const wchar_t* folder) {
  wchar_t pattern[MAX_PATH];
  if (folder[0] == L'\0' || !SearchPattern(folder, pattern, MAX_PATH)) return false;
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
  SetFileAttributesW(folder, FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryW(folder) != FALSE;
}

bool GetCommonProgramsFolder(wchar_t (&folder)[MAX_PATH]) {
  return ReadFolderValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                         L"Common Programs", folder);
}

bool GetProgramFilesFolder(wchar_t (&folder)[MAX_PATH]) {
  return ReadFolderValue(L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesPath", folder);
}

bool LeftoverFolderPath(const wchar_t* base, const wchar_t* suffix, wchar_t (&path)[MAX_PATH]) {
  path[0] = L'\0';
  return base[0] != L'\0' && BoundedCopy(path, MAX_PATH, base) && BoundedAppend(path, MAX_PATH, suffix);
}

void RemoveLeftoverFolders() {
  wchar_t base[MAX_PATH];
  GetProgramFilesFolder(base);
  RemoveBelow(base, L"\\ORVIK");
  GetCommonProgramsFolder(base);
  RemoveBelow(base, L"\\ORVIK");
  // A sibling of the folder above, not inside it; the value is read afresh for it.
  GetCommonProgramsFolder(base);
  RemoveBelow(base, L"\\ORVIK Portivo");
}
