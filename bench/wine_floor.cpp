// The benchmark's second floor: what any Win32 installer of this package must pay under Wine, and
// nothing more. It writes the 77 files of the install set from its own RCDATA resources (one
// CreateFileW, WriteFile and CloseHandle each), makes the hidden top-level window the setup posts
// its outcome to, starts the no-op setup with that window on its command line and waits for it,
// reads the posted outcome back, and deletes the tree again, file by file from its own list. No
// checks, no registry, no PORTS.dat.
//
// bench/run generates wine_floor_files.h (the folders, parents first, and the files; file i is
// resource i + 1) and the resource script, and builds it with the same section alignment as ours,
// so its payload is mapped from the file as ours is.
//
// The first argument picks the steps, so that the benchmark can price each one by difference:
//   write   write the tree only (it is left on disk; the next run's CREATE_ALWAYS replaces it)
//   delete  write and delete
//   window  write, make the hidden window, delete
//   (none)  write, run the setup, delete: the floor itself; exit code 3 when no outcome arrived
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

// The window the setup contract needs: the setup learns its handle and posts its outcome to it.
HWND MakeResultWindow() {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"PortivoBenchWineFloor";
  RegisterClassExW(&windowClass);
  return CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                         CW_USEDEFAULT, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
}

// Reads the outcomes the setup posted from the queue once it has ended; false when it posted none.
bool ReadPostedOutcome(HWND window) {
  MSG message;
  bool posted = false;
  while (PeekMessageW(&message, window, WM_USER, WM_USER, PM_REMOVE)) posted = true;
  return posted;
}

// False when the setup did not start or posted nothing, which stops the benchmark.
bool RunSetup(const wchar_t* base) {
  wchar_t program[MAX_PATH * 2];
  Join(program, base, L"setup.exe");
  const HWND window = MakeResultWindow();
  wchar_t commandLine[MAX_PATH * 3];
  wsprintfW(commandLine, L"\"%s\" /clone_wait \"/W32:%d:1024\"", program,
            static_cast<int>(reinterpret_cast<LONG_PTR>(window)));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &child)) {
    return false;
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  return ReadPostedOutcome(window);
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
  if (lstrcmpW(steps, L"window") == 0) MakeResultWindow();
  const bool outcome = lstrcmpW(steps, L"delete") == 0 || lstrcmpW(steps, L"window") == 0 || RunSetup(base);
  DeleteTree(base);
  return outcome ? 0 : 3;
}
