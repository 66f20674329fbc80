#include "child/cleanup_library.h"

#include <windows.h>

namespace {

// Takes no arguments, so the calling convention does not matter; what it returns is not used.
using UninstallFunction = void(WINAPI*)();

}  // namespace

CleanupOutcome CallCleanupLibrary(const wchar_t* libraryPath) {
  // The full path keeps the loader from picking up a library of the same name elsewhere.
  const HMODULE library = LoadLibraryW(libraryPath);
  if (library == nullptr) return kCleanupNotLoaded;
  const FARPROC entry = GetProcAddress(library, "RCVCLN_UninstQXCOMUSB");
  CleanupOutcome outcome = kCleanupNoEntry;
  if (entry != nullptr) {
    reinterpret_cast<UninstallFunction>(reinterpret_cast<void*>(entry))();
    outcome = kCleanupCalled;
  }
  FreeLibrary(library);
  return outcome;
}
