#include "child/cleanup_library.h"

#include <windows.h>

#include "common/run_log.h"

namespace {

// Takes no arguments, so the calling convention does not matter; what it returns is not used.
using UninstallFunction = void(WINAPI*)();

}  // namespace

CleanupOutcome CallCleanupLibrary(const wchar_t* libraryPath) {
  // The full path keeps the loader from picking up a library of the same name elsewhere.
  const HMODULE library = LoadLibraryW(libraryPath);
  if (library == nullptr) {
    Log("the clean-up library %s could not be loaded: %e", libraryPath, GetLastError());
    return kCleanupNotLoaded;
  }
  const FARPROC entry = GetProcAddress(library, "RCVCLN_UninstQXCOMUSB");
  CleanupOutcome outcome = kCleanupNoEntry;
  if (entry != nullptr) {
    reinterpret_cast<UninstallFunction>(reinterpret_cast<void*>(entry))();
    outcome = kCleanupCalled;
    Log("the clean-up library's uninstall function ran");
  } else {
    Log("the clean-up library %s has no uninstall function", libraryPath);
  }
  FreeLibrary(library);
  return outcome;
}
