// The removal run's call into the driver clean-up library carried in the removal set.
#pragma once

enum CleanupOutcome {
  kCleanupNotLoaded = 0,  // the library could not be loaded
  kCleanupNoEntry = 1,    // it loaded but does not export the uninstall function
  kCleanupCalled = 2,     // the uninstall function ran and returned
};

// Loads the library by its full path, calls its uninstall function once and unloads it.
CleanupOutcome CallCleanupLibrary(const wchar_t* libraryPath);
