#include "payload/delete_tree.h"

#include <windows.h>

std::wstring SearchPattern(const std::wstring& folder) {
  std::wstring pattern = folder;
  if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
  return pattern + L"*.*";
}

namespace {

// The link goes, whatever it points to. A link to a folder is a directory entry on Windows; Wine
// shows a Unix symbolic link the same way but can only unlink it as a file.
bool RemoveLink(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryW(path.c_str()) || DeleteFileW(path.c_str());
}

bool IsLink(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool RemoveEmptiedFolder(const std::wstring& folder) {
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryW(folder.c_str()) != FALSE;
}

}  // namespace

bool DeleteFolderTree(const std::wstring& folder) {
  // The WorkFolder lies in a folder the user can write to; a link planted in its place must not
  // lead an elevated installer into deleting somebody else's files.
  if (IsLink(GetFileAttributesW(folder.c_str()))) return RemoveLink(folder);

  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(SearchPattern(folder).c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return RemoveEmptiedFolder(folder);
  bool ok = true;
  do {
    if (entry.cFileName[0] == L'.') continue;
    const std::wstring child = folder + L"\\" + entry.cFileName;
    if (IsLink(entry.dwFileAttributes)) {
      ok = RemoveLink(child);
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = DeleteFolderTree(child);
    } else {
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      ok = DeleteFileW(child.c_str()) != FALSE;
    }
  } while (ok && FindNextFileW(search, &entry));
  FindClose(search);
  return ok && RemoveEmptiedFolder(folder);
}
