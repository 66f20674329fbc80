#include "payload/work_folder.h"

#include "common/bounded_text.h"
#include "common/string_table.h"
#include "payload/extract.h"

const wchar_t* TempBaseFrom(const wchar_t* tempPath, const wchar_t* windowsPath) {
  return lstrcmpW(tempPath, windowsPath) == 0 ? L"" : tempPath;
}

bool WorkFolderPath(wchar_t (&workFolder)[MAX_PATH]) {
  wchar_t temp[MAX_PATH] = {};
  wchar_t windows[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  GetWindowsDirectoryW(windows, MAX_PATH);
  // A path that filled the buffer is not terminated; treat it as no temporary folder at all.
  temp[MAX_PATH - 1] = L'\0';
  windows[MAX_PATH - 1] = L'\0';
  wchar_t name[MAX_PATH];
  // Without its name the WorkFolder would be the temporary folder itself.
  return LoadTableString(kWorkFolderNameId, name, MAX_PATH) &&
         BoundedCopy(workFolder, MAX_PATH, TempBaseFrom(temp, windows)) &&
         BoundedAppend(workFolder, MAX_PATH, name) && BoundedAppend(workFolder, MAX_PATH, L"\\");
}

bool BuildFolderPaths(const wchar_t* workFolder, int count, wchar_t (*paths)[MAX_PATH]) {
  bool allFit = true;
  for (int i = 0; i < count; ++i) {
    const PayloadFolder& folder = PayloadFolders[i];
    wchar_t* path = paths[i];
    bool fits;
    if (folder.parent == 0) {
      fits = BoundedCopy(path, MAX_PATH, workFolder);
    } else if (folder.parent == 1) {
      fits = BoundedCopy(path, MAX_PATH, workFolder) && BoundedAppend(path, MAX_PATH, folder.name);
    } else {
      const wchar_t* parent = paths[folder.parent - 1];
      fits = parent[0] != L'\0' && BoundedCopy(path, MAX_PATH, parent) &&
             BoundedAppend(path, MAX_PATH, L"\\") && BoundedAppend(path, MAX_PATH, folder.name);
    }
    if (!fits) {
      path[0] = L'\0';
      allFit = false;
    }
  }
  return allFit;
}

bool DeployPayload(const PayloadSet& set, wchar_t (&workFolder)[MAX_PATH]) {
  if (!WorkFolderPath(workFolder)) return false;
  wchar_t folders[kFolderCount][MAX_PATH];
  BuildFolderPaths(workFolder, set.folderCount, folders);
  // A folder left by an earlier run is simply reused, so failures here are not examined.
  for (int i = 0; i < set.folderCount; ++i) {
    if (folders[i][0] != L'\0') CreateDirectoryW(folders[i], nullptr);
  }
  for (std::size_t i = 0; i < set.count; ++i) {
    const PayloadEntry& row = set.rows[i];
    const wchar_t* folder = folders[row.folder - 1];
    // An empty folder path would put the file at the root of the drive.
    if (folder[0] == L'\0') continue;
    wchar_t name[MAX_PATH];
    LoadTableString(row.nameId, name, MAX_PATH);
    ExtractPayloadFile(row.resourceId, name, folder);
  }
  return true;
}
