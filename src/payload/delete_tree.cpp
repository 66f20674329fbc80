#include "payload/delete_tree.h"

#include "common/bounded_text.h"
#include "common/run_log.h"
#include "payload/extract.h"

bool SearchPattern(const wchar_t* folder, wchar_t* pattern, std::size_t capacity) {
  if (!BoundedCopy(pattern, capacity, folder)) return false;
  const std::size_t length = BoundedLength(pattern, capacity);
  if ((length == 0 || pattern[length - 1] != L'\\') && !BoundedAppend(pattern, capacity, L"\\")) {
    return false;
  }
  return BoundedAppend(pattern, capacity, L"*.*");
}

namespace {

constexpr DWORD kRetrySleepMs = 50;

bool IsLink(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Calls remove until it succeeds, fails for a reason waiting cannot mend, or the deletion's time
// is up.
bool RemoveWithRetry(BOOL(WINAPI* remove)(LPCWSTR), const wchar_t* path, DWORD startTick) {
  bool cleared = false;
  while (!remove(path)) {
    const DWORD error = GetLastError();
    // A read-only entry refuses to go. Its attributes are cleared only then: doing it first for
    // every entry would cost a call each.
    if (error == ERROR_ACCESS_DENIED && !cleared) {
      cleared = true;
      SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
      continue;
    }
    // A file deleted while someone still has it open lingers, so its folder is not empty yet.
    const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                      error == ERROR_DIR_NOT_EMPTY;
    if (!held || GetTickCount() - startTick >= kDeleteRetryMs) {
      Log("could not delete %s: %e", path, error);
      return false;
    }
    Sleep(kRetrySleepMs);
  }
  return true;
}

bool DeleteEntries(const wchar_t* folder, DWORD startTick);

bool DeleteTree(const wchar_t* folder, DWORD startTick, HANDLE guard) {
  // Wine reports a link's target for a path that ends in a separator, so test the bare name.
  wchar_t name[kJoinedPathCapacity];
  bool ok = BoundedCopy(name, kJoinedPathCapacity, folder);
  const std::size_t length = BoundedLength(name, kJoinedPathCapacity);
  if (length > 1 && name[length - 1] == L'\\') name[length - 1] = L'\0';
  // The WorkFolder lies where the user can write; a link put in its place must not lead an
  // elevated installer into deleting somebody else's files.
  ok = ok && !IsLink(GetFileAttributesW(name)) && DeleteEntries(name, startTick);
  if (guard != INVALID_HANDLE_VALUE) CloseHandle(guard);
  return ok && RemoveWithRetry(RemoveDirectoryW, name, startTick);
}

bool DeleteEntries(const wchar_t* folder, DWORD startTick) {
  wchar_t pattern[kJoinedPathCapacity];
  if (!SearchPattern(folder, pattern, kJoinedPathCapacity)) return false;
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return true;
  bool ok = true;
  do {
    if (entry.cFileName[0] == L'.') continue;
    wchar_t child[kJoinedPathCapacity];
    ok = BoundedCopy(child, kJoinedPathCapacity, folder) &&
         BoundedAppend(child, kJoinedPathCapacity, L"\\") &&
         BoundedAppend(child, kJoinedPathCapacity, entry.cFileName);
    if (!ok) break;
    if (IsLink(entry.dwFileAttributes)) {
      // Wine removes or moves the target of a folder link where Windows acts on the link, so a
      // link is left where it is, and the folder with it.
      Log("left a link in place: %s", child);
      ok = false;
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = DeleteTree(child, startTick, INVALID_HANDLE_VALUE);
    } else {
      ok = RemoveWithRetry(DeleteFileW, child, startTick);
    }
  } while (ok && FindNextFileW(search, &entry));
  FindClose(search);
  return ok;
}

}  // namespace

bool DeleteFolderTree(const wchar_t* folder, HANDLE guard) {
  return DeleteTree(folder, GetTickCount(), guard);
}
