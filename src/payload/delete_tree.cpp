#include "payload/delete_tree.h"

#include <windows.h>

#include "common/bounded_text.h"

bool SearchPattern(const wchar_t* folder, wchar_t* pattern, std::size_t capacity) {
  if (!BoundedCopy(pattern, capacity, folder)) return false;
  const std::size_t length = BoundedLength(pattern, capacity);
  if ((length == 0 || pattern[length - 1] != L'\\') && !BoundedAppend(pattern, capacity, L"\\")) {
    return false;
  }
  return BoundedAppend(pattern, capacity, L"*.*");
}

namespace {

// The link goes, whatever it points to. A link to a folder is a directory entry on Windows; Wine
// shows a Unix symbolic link the same way but can only unlink it as a file.
bool RemoveLink(const wchar_t* path) {
  SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryW(path) || DeleteFileW(path);
}

bool IsLink(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool RemoveEmptiedFolder(const wchar_t* folder) {
  SetFileAttributesW(folder, FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryW(folder) != FALSE;
}

}  // namespace

bool DeleteFolderTree(const wchar_t* folder) {
  // The WorkFolder lies in a folder the user can write to; a link planted in its place must not
  // lead an elevated installer into deleting somebody else's files.
  if (IsLink(GetFileAttributesW(folder))) return RemoveLink(folder);

  wchar_t pattern[MAX_PATH];
  if (!SearchPattern(folder, pattern, MAX_PATH)) return false;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return RemoveEmptiedFolder(folder);
  bool ok = true;
  do {
    if (entry.cFileName[0] == L'.') continue;
    wchar_t child[MAX_PATH];
    ok = BoundedCopy(child, MAX_PATH, folder) && BoundedAppend(child, MAX_PATH, L"\\") &&
         BoundedAppend(child, MAX_PATH, entry.cFileName);
    if (!ok) break;
    if (IsLink(entry.dwFileAttributes)) {
      ok = RemoveLink(child);
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = DeleteFolderTree(child);
    } else {
      SetFileAttributesW(child, FILE_ATTRIBUTE_NORMAL);
      ok = DeleteFileW(child) != FALSE;
    }
  } while (ok && FindNextFileW(search, &entry));
  FindClose(search);
  return ok && RemoveEmptiedFolder(folder);
}
