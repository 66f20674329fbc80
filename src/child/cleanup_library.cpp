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
    LogLine() << L"the clean-up library " << libraryPath << L" could not be loaded: " << Win32Error{GetLastError()};
    return kCleanupNotLoaded;
  }
  const FARPROC entry = GetProcAddress(library, "RCVCLN_UninstQXCOMUSB");
  CleanupOutcome outcome = kCleanupNoEntry;
  if (entry != nullptr) {
    reinterpret_cast<UninstallFunction>(reinterpret_cast<void*>(entry))();
    outcome = kCleanupCalled;
    LogLine() << L"the clean-up library's uninstall function ran";
  } else {
    LogLine() << L"the clean-up library " << libraryPath << L" has no uninstall function";
  }
  FreeLibrary(library);
  return outcome;
}
