#include "progress_window.h"

#include <vector>

const wchar_t kProgressWindowClass[] = L"PortivoSampleTSetDialog";

namespace {

const WORD kHeadingId = 100;
const WORD kDetailId = 101;
const UINT_PTR kCloseTimer = 1;

INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_TIMER:
      if (wParam == kCloseTimer) DestroyWindow(window);
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return TRUE;
    case WM_DESTROY:
      KillTimer(window, kCloseTimer);
      PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}

void PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// An in-memory dialog template: the dialog manager then picks the dialog font itself, so the
// program needs nothing beyond user32 for its window.
class DialogTemplate {
 public:
  void Word(WORD value) { words_.push_back(value); }
  void Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Text(const wchar_t* text) {
    for (; *text != L'\0'; ++text) Word(static_cast<WORD>(*text));
    Word(0);
  }
  void AlignToDword() {
    if (words_.size() % 2 != 0) Word(0);
  }
  void Static(WORD id, short x, short y, short cx, short cy) {
    AlignToDword();
    Dword(WS_CHILD | WS_VISIBLE | SS_LEFT);
    Dword(0);
    for (short value : {x, y, cx, cy}) Word(static_cast<WORD>(value));
    Word(id);
    Word(0xFFFF);
    Word(0x0082);  // the predefined static control class
    Text(L"");
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  std::vector<WORD> words_;
};

}  // namespace

HWND OpenProgressWindow(HINSTANCE instance, const std::wstring& heading,
                        const std::wstring& detail) {
  // A dialog class of our own, so the installer can tell this window by its class name.
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefDlgProcW;
  windowClass.cbWndExtra = DLGWINDOWEXTRA;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kProgressWindowClass;
  RegisterClassW(&windowClass);

  DialogTemplate dialog;
  dialog.Dword(DS_SETFONT | DS_CENTER | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  dialog.Dword(0);
  dialog.Word(2);  // controls
  for (short value : {0, 0, 290, 110}) dialog.Word(static_cast<WORD>(value));
  dialog.Word(0);  // no menu
  dialog.Text(kProgressWindowClass);
  dialog.Text(L"Orvik Portivo - sample setup");
  dialog.Word(8);
  dialog.Text(L"MS Shell Dlg");
  dialog.Static(kHeadingId, 10, 10, 270, 12);
  dialog.Static(kDetailId, 10, 28, 270, 72);

  HWND window = CreateDialogIndirectParamW(instance, dialog.Get(), nullptr, ProgressProc, 0);
  if (window == nullptr) return nullptr;
  SetDlgItemTextW(window, kHeadingId, heading.c_str());
  SetDlgItemTextW(window, kDetailId, detail.c_str());
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  PumpPending();
  return window;
}

void ShowProgressText(HWND window, const std::wstring& heading, const std::wstring& detail) {
  if (window == nullptr) return;
  SetDlgItemTextW(window, kHeadingId, heading.c_str());
  SetDlgItemTextW(window, kDetailId, detail.c_str());
  PumpPending();
}

void HoldAndCloseProgressWindow(HWND window, UINT milliseconds) {
  // A window the user has already closed has nothing left to hold.
  if (window == nullptr || !IsWindow(window)) return;
  SetTimer(window, kCloseTimer, milliseconds, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}
