#include "payload/work_folder.h"

#include <windows.h>

#include "payload/extract.h"
#include "run/string_table.h"

std::wstring TempBaseFrom(const wchar_t* tempPath, const wchar_t* windowsPath) {
  if (lstrcmpW(tempPath, windowsPath) == 0) return std::wstring();
  return tempPath;
}

std::wstring GetTempBase() {
  wchar_t temp[MAX_PATH] = {};
  wchar_t windows[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  GetWindowsDirectoryW(windows, MAX_PATH);
  // A path that filled the buffer is not terminated; treat it as no temporary folder at all.
  temp[MAX_PATH - 1] = L'\0';
  windows[MAX_PATH - 1] = L'\0';
  return TempBaseFrom(temp, windows);
}

std::wstring WorkFolderPath() { return GetTempBase() + LoadTableString(kWorkFolderNameId) + L"\\"; }

std::vector<std::wstring> BuildFolderPaths(const std::wstring& workFolder, int count) {
  std::vector<std::wstring> paths;
  for (int i = 0; i < count; ++i) {
    const PayloadFolder& folder = PayloadFolders[i];
    if (folder.parent == 0) {
      paths.push_back(workFolder);
    } else if (folder.parent == 1) {
      paths.push_back(workFolder + folder.name);
    } else {
      paths.push_back(paths[folder.parent - 1] + L"\\" + folder.name);
    }
  }
  return paths;
}

std::wstring DeployPayload(const PayloadSet& set) {
  const std::wstring workFolder = WorkFolderPath();
  const std::vector<std::wstring> folders = BuildFolderPaths(workFolder, set.folderCount);
  // A folder left by an earlier run is simply reused, so failures here are not examined.
  for (const std::wstring& folder : folders) CreateDirectoryW(folder.c_str(), nullptr);
  for (std::size_t i = 0; i < set.count; ++i) {
    const PayloadEntry& row = set.rows[i];
    ExtractPayloadFile(row.resourceId, LoadTableString(row.nameId).c_str(),
                       folders[row.folder - 1].c_str());
  }
  return workFolder;
}
