// The benchmark's second floor: what any Win32 installer of this package must pay under Wine, and
// nothing more. It writes the 77 files of the install set from its own RCDATA resources (one
// CreateFileW, WriteFile and CloseHandle each), starts the no-op setup and waits for it, and deletes
// the tree again, file by file from its own list. No checks, no window, no registry, no PORTS.dat.
//
// bench/run generates wine_floor_files.h (the folders, parents first, and the files; file i is
// resource i + 1) and the resource script, and builds it with the same section alignment as ours,
// so its payload is mapped from the file as ours is.
//
// The first argument picks the steps, so that the benchmark can price each one by difference:
//   write   write the tree only (it is left on disk; the next run's CREATE_ALWAYS replaces it)
//   delete  write and delete
//   (none)  write, run the setup, delete: the floor itself
#include <windows.h>

#include "wine_floor_files.h"

namespace {

const wchar_t kFolderName[] = L"PortivoBenchWineFloor";

// base + relative into path; the bench's paths are short, so there is no length check.
void Join(wchar_t* path, const wchar_t* base, const wchar_t* relative) {
  lstrcpyW(path, base);
  lstrcatW(path, relative);
}

void WriteTree(const wchar_t* base) {
  CreateDirectoryW(base, nullptr);
  wchar_t path[MAX_PATH * 2];
  for (const wchar_t* folder : kFolders) {
    Join(path, base, folder);
    CreateDirectoryW(path, nullptr);
  }
  for (int i = 0; i < kFileCount; ++i) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(i + 1), RT_RCDATA);
    const void* data = LockResource(LoadResource(nullptr, found));
    Join(path, base, kFiles[i]);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    DWORD written = 0;
    WriteFile(file, data, SizeofResource(nullptr, found), &written, nullptr);
    CloseHandle(file);
  }
}

void RunSetup(const wchar_t* base) {
  wchar_t program[MAX_PATH * 2];
  Join(program, base, L"setup.exe");
  // The same arguments as the NSIS peer's: there is no window to post to.
  wchar_t commandLine[MAX_PATH * 3];
  lstrcpyW(commandLine, L"\"");
  lstrcatW(commandLine, program);
  lstrcatW(commandLine, L"\" /clone_wait \"/W32:0:1024\"");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &child)) {
    return;
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
}

void DeleteTree(const wchar_t* base) {
  wchar_t path[MAX_PATH * 2];
  for (int i = 0; i < kFileCount; ++i) {
    Join(path, base, kFiles[i]);
    DeleteFileW(path);
  }
  for (int i = kFolderCount - 1; i >= 0; --i) {
    Join(path, base, kFolders[i]);
    RemoveDirectoryW(path);
  }
  RemoveDirectoryW(base);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR steps, int) {
  wchar_t base[MAX_PATH * 2];
  GetTempPathW(MAX_PATH, base);
  lstrcatW(base, kFolderName);
  lstrcatW(base, L"\\");
  WriteTree(base);
  if (lstrcmpW(steps, L"write") == 0) return 0;
  if (lstrcmpW(steps, L"delete") != 0) RunSetup(base);
  DeleteTree(base);
  return 0;
}
