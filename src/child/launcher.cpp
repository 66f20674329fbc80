#include "child/launcher.h"

#include <wchar.h>

#include "common/bounded_text.h"
#include "common/run_log.h"

bool ProgramFileOf(const wchar_t* path, wchar_t* file, std::size_t capacity) {
  const wchar_t* last = nullptr;
  for (const wchar_t* at = wcsstr(path, L".exe "); at != nullptr; at = wcsstr(at + 1, L".exe ")) {
    last = at;
  }
  if (last == nullptr) return BoundedCopy(file, capacity, path);
  return BoundedCopyPart(file, capacity, path, static_cast<std::size_t>(last - path) + 4);
}

bool ComposeChildCommandLine(wchar_t (&buffer)[kChildCommandLineCapacity], const wchar_t* path,
                             const wchar_t* arguments, std::size_t argumentsLength) {
  ZeroMemory(buffer, sizeof buffer);
  std::size_t pathLength = BoundedLength(path, MAX_PATH);
  if (pathLength + 1 + argumentsLength + 1 > kChildCommandLineCapacity) return false;
  return BoundedCopy(buffer, kChildCommandLineCapacity, path) &&
         BoundedAppend(buffer, kChildCommandLineCapacity, L" ") &&
         BoundedAppend(buffer, kChildCommandLineCapacity, arguments);
}

bool ChildFailed(DWORD exitCode) {
  return exitCode == kChildStartFailed || exitCode >= kChildCrashedBoundary;
}

bool IsSetupDialogClass(const wchar_t* className) {
  return wcsstr(className, L"TSetDialog") != nullptr ||
         wcsstr(className, L"MsiDialogCloseClass") != nullptr;
}

BOOL CALLBACK FocusSetupDialog(HWND window, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != static_cast<DWORD>(processId)) return TRUE;
  wchar_t className[MAX_PATH] = {};
  GetClassNameW(window, className, MAX_PATH);
  if (!IsSetupDialogClass(className)) return TRUE;
  // Give the dialog a moment to finish drawing before it is brought forward.
  Sleep(1000);
  SetForegroundWindow(window);
  Log("raised the setup's dialog (window class %s)", className);
  return FALSE;
}

namespace {

bool StillRunning(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

void RaiseSetupDialogOnce(const PROCESS_INFORMATION& child) {
  int passes = 0;
  while (StillRunning(child.hProcess)) {
    if (!EnumWindows(FocusSetupDialog, static_cast<LPARAM>(child.dwProcessId))) return;
    Sleep(1);
    if (++passes > 5000) break;
  }
  Log("no dialog of the program was raised");
}

DWORD SettledExitCode(HANDLE process) {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process, &code);
  // A process can be signalled a moment before its exit code is readable.
  for (int reads = 1; code == STILL_ACTIVE && reads < 100; ++reads) {
    Sleep(10);
    GetExitCodeProcess(process, &code);
  }
  return code;
}

}  // namespace

DWORD RunChildAndWait(const wchar_t* path, const wchar_t* arguments, std::size_t argumentsLength,
                      HWND resultWindow, bool* started) {
  if (started != nullptr) *started = false;
  wchar_t programFile[MAX_PATH];
  if (!ProgramFileOf(path, programFile, MAX_PATH) ||
      GetFileAttributesW(programFile) == INVALID_FILE_ATTRIBUTES) {
    Log("could not start %s: the program is missing", path);
    return kChildStartFailed;
  }
  wchar_t commandLine[kChildCommandLineCapacity];
  if (!ComposeChildCommandLine(commandLine, path, arguments, argumentsLength)) {
    Log("could not start %s: its command line would be longer than 1023 characters", path);
    return kChildStartFailed;
  }
  Log("starting %s", commandLine);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USEPOSITION;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION child = {};
  // The program file is named on its own too: with blanks in the temporary folder's path the
  // system would otherwise try "C:\Documents.exe" and the like first.
  if (!CreateProcessW(programFile, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &child)) {
    Log("could not start %s: %e", programFile, GetLastError());
    return kChildStartFailed;
  }
  if (started != nullptr) *started = true;
  Log("started, process id %u", child.dwProcessId);
  RaiseSetupDialogOnce(child);
  WaitForSingleObject(child.hProcess, INFINITE);
  Sleep(10);
  DWORD exitCode = SettledExitCode(child.hProcess);
  Log("the program ended with exit code %u (%x)", exitCode, exitCode);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  // Queued behind everything the child posted, so the final loop sees its last outcome first.
  PostMessageW(resultWindow, WM_USER + 1, 0, 0);
  return exitCode;
}
