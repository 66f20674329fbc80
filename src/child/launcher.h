// Starting a program, raising its dialog once, and waiting for it.
#pragma once
#include <cstddef>
#include <windows.h>

constexpr std::size_t kChildCommandLineCapacity = 1024;
constexpr DWORD kChildStartFailed = 2;
constexpr DWORD kChildCrashedBoundary = 0xC0000000;

// The program file of a path that may carry arguments after ".exe ": the text up to and including
// the last such "exe"; otherwise the whole path. False (file emptied) when it does not fit.
bool ProgramFileOf(const wchar_t* path, wchar_t* file, std::size_t capacity);

// path, a blank, arguments, in a 1024-unit buffer. False when it does not fit.
bool ComposeChildCommandLine(wchar_t (&buffer)[kChildCommandLineCapacity], const wchar_t* path,
                             const wchar_t* arguments, std::size_t argumentsLength);

// Setup dialogs are recognised by class name, case-sensitively.
bool IsSetupDialogClass(const wchar_t* className);

// EnumWindows callback; lParam is the child's process id. Raises the child's first setup dialog
// and stops the enumeration.
BOOL CALLBACK FocusSetupDialog(HWND window, LPARAM processId);

// A child failed when it exited with 2 (which is also what a failed start returns) or died: a
// process ended by an unhandled exception, or killed with such a code, exits with an NTSTATUS of
// error severity (0xC0000005, 0xC0000409, ...), whatever it posted before.
bool ChildFailed(DWORD exitCode);

// Starts path with arguments, raises its dialog once, waits for its end and posts WM_USER + 1 to
// resultWindow. Returns the child's exit code, or 2 when nothing could be started; *started, when
// given, tells the two apart.
DWORD RunChildAndWait(const wchar_t* path, const wchar_t* arguments, std::size_t argumentsLength,
                      HWND resultWindow, bool* started = nullptr);
