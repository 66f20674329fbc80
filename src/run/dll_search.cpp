#include "run/dll_search.h"

#include <windows.h>
#include <commctrl.h>

#include "common/bounded_text.h"

namespace {
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
}  // namespace

void RestrictDllSearchPath() {
  HMODULE kernel = GetModuleHandleW(L"kernel32");
  if (kernel == nullptr) return;
  // Both are missing on Windows 2000; SetDllDirectoryW came with XP SP1.
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(kSearchSystem32)) return;
  auto setDirectory = reinterpret_cast<SetDllDirectoryFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
  if (setDirectory != nullptr) setDirectory(L"");
}

void InitCommonControlsFromSystem() {
  wchar_t path[MAX_PATH] = {};
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  if (!BoundedAppend(path, MAX_PATH, L"\\comctl32.dll")) return;
  HMODULE library = LoadLibraryW(path);
  if (library == nullptr) return;
  auto init = reinterpret_cast<InitCommonControlsExFn>(
      reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
  if (init == nullptr) return;
  INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
  init(&controls);
}
