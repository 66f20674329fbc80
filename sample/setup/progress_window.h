// The sample setup's visible dialog: a small window that says what is being done and how it
// ended. Its class name contains "TSetDialog", so the installer finds it and brings it forward.
#pragma once
#include <windows.h>

#include <string>

extern const wchar_t kProgressWindowClass[];  // "PortivoSampleTSetDialog"

// Shows the window with a heading and a first detail line; nullptr when it could not be made.
HWND OpenProgressWindow(HINSTANCE instance, const std::wstring& heading,
                        const std::wstring& detail);

// Replaces both texts and lets the window repaint.
void ShowProgressText(HWND window, const std::wstring& heading, const std::wstring& detail);

// Keeps the window up for the given time (or until the user closes it), then closes it.
void HoldAndCloseProgressWindow(HWND window, UINT milliseconds);
