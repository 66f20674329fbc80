#include "sample_install.h"

#include "sample_folders.h"
#include "sample_log.h"

namespace {

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  return folder + L"\\" + name;
}

DWORD MakeFolder(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), nullptr)) return 0;
  DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

DWORD CopyOne(const wchar_t* program, const std::wstring& from, const std::wstring& to) {
  if (CopyFileW(from.c_str(), to.c_str(), FALSE)) {
    SampleLog(program, L"installed " + to);
    return 0;
  }
  DWORD error = GetLastError();
  SampleLog(program,
            L"could not copy " + from + L" to " + to + L" (error " + DecimalText(error) + L")");
  return error;
}

bool Missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Deletes everything inside folder; the folder itself stays. Read-only entries go too.
DWORD EmptyFolder(const wchar_t* program, const std::wstring& folder);

DWORD DeleteTree(const wchar_t* program, const std::wstring& folder) {
  DWORD error = EmptyFolder(program, folder);
  if (error != 0) return error;
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (RemoveDirectoryW(folder.c_str())) {
    SampleLog(program, L"removed folder " + folder);
    return 0;
  }
  error = GetLastError();
  return Missing(error) ? 0 : error;
}

DWORD EmptyFolder(const wchar_t* program, const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(Join(folder, L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return Missing(error) || error == ERROR_NO_MORE_FILES ? 0 : error;
  }
  DWORD error = 0;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = Join(folder, name);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      error = DeleteTree(program, path);
    } else {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (DeleteFileW(path.c_str())) {
        SampleLog(program, L"removed " + path);
      } else {
        error = GetLastError();
        SampleLog(program, L"could not remove " + path + L" (error " + DecimalText(error) + L")");
      }
    }
  } while (error == 0 && FindNextFileW(search, &entry));
  FindClose(search);
  return error;
}

void RemoveIfEmpty(const wchar_t* program, const std::wstring& folder) {
  if (RemoveDirectoryW(folder.c_str())) SampleLog(program, L"removed empty folder " + folder);
}

}  // namespace

InstallTargets FindInstallTargets(const wchar_t* program) {
  InstallTargets targets;
  BaseFolder programFiles = ProgramFilesBase();
  BaseFolder programs = CommonProgramsBase();
  SampleLog(program,
            L"Program Files folder: " + programFiles.path + L" (" + programFiles.source + L")");
  SampleLog(program, L"common programs folder: " + programs.path + L" (" + programs.source + L")");
  if (!programFiles.path.empty()) {
    targets.company = Join(programFiles.path, kCompanyFolder);
    targets.product = Join(targets.company, kProductFolder);
  }
  if (!programs.path.empty()) targets.startMenu = Join(programs.path, kStartMenuFolder);
  return targets;
}

DWORD InstallSampleFiles(const wchar_t* program, const InstallTargets& targets,
                         const std::wstring& packageFolder, const ManualChoice& manual) {
  if (targets.product.empty() || targets.startMenu.empty()) return ERROR_PATH_NOT_FOUND;
  std::wstring manualFolder = Join(Join(packageFolder, L"manual"), manual.folder);
  const std::wstring readme = Join(manualFolder, manual.readme);
  const std::wstring manualPdf = Join(manualFolder, L"Portivo_User'sManual.pdf");
  const std::wstring portsFile = Join(packageFolder, L"PORTS.dat");

  DWORD error = MakeFolder(targets.company);
  if (error == 0) error = MakeFolder(targets.product);
  if (error == 0) error = CopyOne(program, readme, Join(targets.product, manual.readme));
  if (error == 0)
    error = CopyOne(program, manualPdf, Join(targets.product, L"Portivo_User'sManual.pdf"));
  if (error == 0 && GetFileAttributesW(portsFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
    error = CopyOne(program, portsFile, Join(targets.product, L"PORTS.dat"));
  }
  if (error == 0) error = MakeFolder(targets.startMenu);
  if (error == 0) error = CopyOne(program, readme, Join(targets.startMenu, manual.readme));
  return error;
}

DWORD RemoveSampleFiles(const wchar_t* program, const InstallTargets& targets,
                        bool removeEmptyFolders) {
  DWORD error = 0;
  if (!targets.product.empty()) error = DeleteTree(program, targets.product);
  if (!targets.startMenu.empty()) {
    DWORD menuError = EmptyFolder(program, targets.startMenu);
    if (error == 0) error = menuError;
  }
  if (removeEmptyFolders && error == 0) {
    if (!targets.company.empty()) RemoveIfEmpty(program, targets.company);
    if (!targets.startMenu.empty()) RemoveIfEmpty(program, targets.startMenu);
  }
  return error;
}
