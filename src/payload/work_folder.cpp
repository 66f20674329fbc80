#include "payload/work_folder.h"

#include "common/bounded_text.h"
#include "common/native_files.h"
#include "common/run_log.h"
#include "common/string_table.h"
#include "payload/delete_tree.h"
#include "payload/digest.h"
#include "payload/extract.h"
#include "common/object_security.h"

namespace {

constexpr int kCreateAttempts = 5;
constexpr LONG kStatusSuccess = 0;

// False when a link stands at the name. Otherwise whatever is there is renamed aside (which takes
// the links inside along and leaves their targets alone) and deleted as far as it goes; what
// cannot be renamed, because a program of an earlier run still holds a file in it, is taken apart.
bool ClearName(const wchar_t* name, int attempt) {
  const DWORD attributes = GetFileAttributesW(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    Log("work folder %s: nothing stood at its name", name);
    return true;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    Log("work folder %s: a link stands at its name; refused", name);
    return false;
  }
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  wchar_t aside[MAX_PATH];
  wchar_t pid[16];
  wchar_t tick[16];
  wchar_t number[16];
  if (FormatDecimal(static_cast<long>(GetCurrentProcessId()), pid, 16) &&
      FormatDecimal(static_cast<long>(GetTickCount() & 0x7FFFFFFF), tick, 16) &&
      FormatDecimal(attempt, number, 16) && BoundedCopy(aside, MAX_PATH, name) &&
      BoundedAppend(aside, MAX_PATH, L".old-") && BoundedAppend(aside, MAX_PATH, pid) &&
      BoundedAppend(aside, MAX_PATH, L"-") && BoundedAppend(aside, MAX_PATH, tick) &&
      BoundedAppend(aside, MAX_PATH, L"-") && BoundedAppend(aside, MAX_PATH, number) &&
      MoveFileW(name, aside)) {
    const bool deleted = !folder || DeleteFolderTree(aside);
    Log("work folder %s: something stood at its name; moved aside to %s%a", name, aside,
        deleted ? " and deleted" : "; not all of it could be deleted");
    return true;
  }
  Log("work folder %s: what stood at its name could not be moved aside, %e; taken apart in place", name,
      GetLastError());
  if (folder) DeleteFolderTree(name);
  return true;
}

}  // namespace

const wchar_t* TempBaseFrom(const wchar_t* tempPath, const wchar_t* windowsPath) {
  return lstrcmpW(tempPath, windowsPath) == 0 ? L"" : tempPath;
}

void TempBase(TempPathFunction tempPath2, wchar_t (&base)[MAX_PATH]) {
  wchar_t temp[MAX_PATH] = {};
  wchar_t windows[MAX_PATH] = {};
  (tempPath2 != nullptr ? tempPath2 : GetTempPathW)(MAX_PATH, temp);
  GetWindowsDirectoryW(windows, MAX_PATH);
  // A path that filled the buffer is not terminated; treat it as no temporary folder at all.
  temp[MAX_PATH - 1] = L'\0';
  windows[MAX_PATH - 1] = L'\0';
  BoundedCopy(base, MAX_PATH, TempBaseFrom(temp, windows));
}

bool WorkFolderPath(wchar_t (&path)[MAX_PATH]) {
  // For SYSTEM, GetTempPath2W gives %SystemRoot%\SystemTemp, which only SYSTEM and administrators
  // may enter, where GetTempPathW gives a folder every user may create folders in. Windows 11,
  // Server 2022 and updated Windows 10 have it; for other accounts both give the same.
  const HMODULE kernel = GetModuleHandleW(L"kernel32");
  TempBase(reinterpret_cast<TempPathFunction>(
               reinterpret_cast<void*>(kernel != nullptr ? GetProcAddress(kernel, "GetTempPath2W") : nullptr)),
           path);
  wchar_t name[MAX_PATH];
  return LoadTableString(kWorkFolderNameId, name, MAX_PATH) && BoundedAppend(path, MAX_PATH, name) &&
         BoundedAppend(path, MAX_PATH, L"\\");
}

bool BuildFolderPath(const wchar_t* workFolder, int index, wchar_t* path, std::size_t capacity) {
  const PayloadFolder& folder = PayloadFolders[index - 1];
  if (folder.parent == 0) return BoundedCopy(path, capacity, workFolder);
  if (!BuildFolderPath(workFolder, folder.parent, path, capacity)) return false;
  // The WorkFolder already ends in a separator; deeper folders do not.
  return (folder.parent == 1 || BoundedAppend(path, capacity, L"\\")) &&
         BoundedAppend(path, capacity, folder.name);
}

bool CreateWorkFolder(WorkFolder& folder) {
  folder.guard = INVALID_HANDLE_VALUE;
  wchar_t name[MAX_PATH];
  FolderSecurity security;
  if (!WorkFolderPath(folder.path) || !BoundedCopy(name, MAX_PATH, folder.path) ||
      !BuildWorkFolderSecurity(security)) {
    return false;
  }
  name[BoundedLength(name, MAX_PATH) - 1] = L'\0';
  // Another process may put something at the name again between clearing and creating; after a
  // few lost races the run gives up rather than use a folder it did not make.
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    if (!ClearName(name, attempt)) return false;
    HANDLE guard = INVALID_HANDLE_VALUE;
    const LONG status = CreateGuardedFolder(name, &security.descriptor, &guard);
    if (status == kStatusSuccess) {
      folder.guard = guard;
      return true;
    }
    Log("work folder %s: could not be created, status %x", name, static_cast<DWORD>(status));
  }
  Log("work folder: given up after %d attempts", kCreateAttempts);
  return false;
}

bool DeployPayload(const PayloadSet& set, const WorkFolder& folder) {
  const DWORD startTick = GetTickCount();
  // Each folder is made right after its parent, which precedes it in the table.
  wchar_t folders[kFolderCount][kJoinedPathCapacity];
  for (int i = 0; i < set.folderCount; ++i) {
    if (!BuildFolderPath(folder.path, i + 1, folders[i], kJoinedPathCapacity)) return false;
    if (i > 0 && !CreateDirectoryW(folders[i], nullptr)) {
      Log("could not create folder %s: %e", folders[i], GetLastError());
      return false;
    }
  }
  unsigned long bytes = 0;
  for (std::size_t i = 0; i < set.count; ++i) {
    const PayloadEntry& row = set.rows[i];
    wchar_t name[MAX_PATH];
    DWORD size = 0;
    const DWORD error = LoadTableString(row.nameId, name, MAX_PATH)
                            ? ExtractPayloadFile(row.resourceId, name, folders[row.folder - 1], &size)
                            : ERROR_RESOURCE_NAME_NOT_FOUND;
    if (error != 0) {
      Log("could not write %s into %s: %e", name, folders[row.folder - 1], error);
      return false;
    }
    bytes += size;
  }
  Log("wrote %u files, %u bytes, in %u ms", static_cast<DWORD>(set.count), bytes, GetTickCount() - startTick);
  return true;
}

UnpackResult UnpackPayload(const PayloadSet& set, WorkFolder& folder) {
  folder.guard = INVALID_HANDLE_VALUE;
  // A damaged installer is refused before anything is written.
  if (!VerifyPayload(set)) return kPayloadDamaged;
  if (!CreateWorkFolder(folder)) return kWorkFolderNotOurs;
  if (DeployPayload(set, folder)) return kUnpacked;
  // Unlike a missing program, a failed write leaves files known to be bad: none may stay.
  DeleteWorkFolder(folder);
  return kPayloadNotWritten;
}

bool DeleteWorkFolder(WorkFolder& folder) {
  const HANDLE guard = folder.guard;
  folder.guard = INVALID_HANDLE_VALUE;
  const bool deleted = DeleteFolderTree(folder.path, guard);
  Log(deleted ? "work folder deleted" : "work folder left behind, as far as it was not deleted");
  return deleted;
}
