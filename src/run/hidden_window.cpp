#include "run/hidden_window.h"

#include "common/run_log.h"
#include "common/string_table.h"

namespace {
DWORD g_childResult = 0;
constexpr UINT kOutcomeMessage = WM_USER;
constexpr UINT kChildEndedMessage = WM_USER + 1;
constexpr int kTitleCapacity = 100;
constexpr WORD kIconGroupId = 115;
}  // namespace

DWORD ChildResult() { return g_childResult; }

LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kOutcomeMessage:
      g_childResult = LOWORD(wParam);
      Log("the setup posted outcome %u", g_childResult);
      return 0;
    case kChildEndedMessage:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND CreateHiddenWindow(HINSTANCE instance) {
  wchar_t title[kTitleCapacity] = {};
  wchar_t className[kTitleCapacity] = {};
  LoadStringW(instance, kWindowTitleId, title, kTitleCapacity);
  LoadStringW(instance, kInstallerNameId, className, kTitleCapacity);

  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = HiddenWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconGroupId));
  windowClass.hIconSm = windowClass.hIcon;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = className;
  if (RegisterClassExW(&windowClass) == 0) {
    Log("the hidden window's class could not be registered: %e", GetLastError());
    return nullptr;
  }

  HWND window = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    Log("the hidden window could not be made: %e", GetLastError());
    return nullptr;
  }
  ShowWindow(window, SW_HIDE);
  UpdateWindow(window);
  return window;
}

void DiscardQueuedResults(HWND window) {
  MSG message;
  while (PeekMessageW(&message, window, kOutcomeMessage, kChildEndedMessage, PM_REMOVE)) {
    if (message.message == kOutcomeMessage) {
      Log("the setup posted outcome %u (not relayed: the run failed)", static_cast<DWORD>(LOWORD(message.wParam)));
    }
  }
}

void RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
