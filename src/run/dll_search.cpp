#include "run/dll_search.h"

#include <windows.h>
#include <commctrl.h>

#include "common/bounded_text.h"

namespace {
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

// Where the search cannot be cut down to the system folder (Windows 2000 to 7 without
// KB2533623), the installer's own folder is searched first for every library that system code
// loads by name. These are the ones a run of ours brings in; each is loaded from the system
// folder first, and a later load by name gets the loaded one. A version that lacks one skips it.
// Not here: ole32, shell32 and the other known DLLs always come from the system folder; ntmarta,
// because our permissions are built in memory and nothing calls the named-object security
// functions that load it; comctl32, which the box loads by full path itself.
const wchar_t* const kPreloaded[] = {
    L"uxtheme.dll",    // XP on: Common Controls 6 (our manifest) and user32 theme every window and box
    L"msimg32.dll",    // uxtheme paints a themed box's parts with its AlphaBlend
    L"dwmapi.dll",     // Vista, 7: uxtheme and the message box ask about desktop composition
    L"cryptbase.dll",  // 7: advapi32 forwards its random-number and memory-encryption functions there
    L"apphelp.dll",    // XP to 7: CreateProcessW asks the compatibility engine about the setup
};

// LOAD_WITH_ALTERED_SEARCH_PATH: what the library itself imports is looked for beside it, in the
// system folder, rather than beside the installer.
HMODULE LoadFromSystemFolder(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !BoundedAppend(path, MAX_PATH, L"\\") ||
      !BoundedAppend(path, MAX_PATH, name)) {
    return nullptr;
  }
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
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
  for (const wchar_t* name : kPreloaded) LoadFromSystemFolder(name);
}

void InitCommonControlsFromSystem() {
  HMODULE library = LoadFromSystemFolder(L"comctl32.dll");
  if (library == nullptr) return;
  auto init = reinterpret_cast<InitCommonControlsExFn>(
      reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
  if (init == nullptr) return;
  INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
  init(&controls);
}
