// The installer's one window: never shown, it receives the setup's outcome and the end message.
#pragma once
#include <windows.h>

// The last outcome the setup posted (low 16 bits of wParam of WM_USER), 0 when none.
DWORD ChildResult();

LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the class (string 111) and creates the hidden window titled with string 60.
// NULL when the class cannot be registered or the window cannot be created.
HWND CreateHiddenWindow(HINSTANCE instance);

// Throws away the outcome and end messages still queued for the window, so that a message box's
// own loop cannot dispatch them and be closed by the quit they request.
void DiscardQueuedResults(HWND window);

// Dispatches until the end message has been handled.
void RunMessageLoop();
