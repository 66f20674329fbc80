#include "child/cleanup_library.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

// The test program exports the clean-up entry point itself, so its own path stands in for a
// clean-up library that has it.
namespace {
int gUninstallCalls = 0;
}  // namespace

extern "C" __declspec(dllexport) void RCVCLN_UninstQXCOMUSB() { ++gUninstallCalls; }

// Each library is unloaded again; lz32.dll is one that nothing else in the tests loads.
TEST(CleanupLibrary, CallsTheEntryOnceOrPassesOver) {
  wchar_t self[MAX_PATH], system[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring noEntry = std::wstring(system) + L"\\lz32.dll";
  const struct { std::wstring path; CleanupOutcome outcome; int calls; } rows[] = {
      {self, kCleanupCalled, 1}, {noEntry, kCleanupNoEntry, 0}, {noEntry + L".missing", kCleanupNotLoaded, 0},
  };
  for (const auto& row : rows) {
    gUninstallCalls = 0;
    EXPECT_EQ(row.outcome, CallCleanupLibrary(row.path.c_str()));
    EXPECT_EQ(row.calls, gUninstallCalls);
  }
  EXPECT_EQ(nullptr, GetModuleHandleW(noEntry.c_str()));
}
