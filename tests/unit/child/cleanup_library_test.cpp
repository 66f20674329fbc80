#include "child/cleanup_library.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "scratch_folder.h"

// The test program exports the clean-up entry point itself, so loading the test program by its own
// path stands in for a clean-up library that has it.
namespace {
int gUninstallCalls = 0;
}  // namespace

extern "C" __declspec(dllexport) void RCVCLN_UninstQXCOMUSB() { ++gUninstallCalls; }

namespace {

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

std::wstring SystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder) + L"\\" + name;
}

TEST(CleanupLibrary, EntryPointIsCalledOnce) {
  gUninstallCalls = 0;
  EXPECT_EQ(CallCleanupLibrary(OwnPath().c_str()), kCleanupCalled);
  EXPECT_EQ(gUninstallCalls, 1);
}

TEST(CleanupLibrary, LibraryWithoutTheEntryPointIsLoadedAndUnloaded) {
  // A small system library that nothing else in the tests loads, so its unloading can be seen.
  const std::wstring path = SystemLibrary(L"lz32.dll");
  ASSERT_EQ(GetModuleHandleW(path.c_str()), nullptr) << "lz32.dll is already loaded";
  EXPECT_EQ(CallCleanupLibrary(path.c_str()), kCleanupNoEntry);
  EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
}

TEST(CleanupLibrary, LibraryThatDoesNotLoadIsPassedOver) {
  ScratchFolder folder;
  EXPECT_EQ(CallCleanupLibrary((folder / L"missing\\QXCOMUSBCLN.dll").c_str()), kCleanupNotLoaded);
  // A file of that name that is no library at all.
  ASSERT_TRUE(WriteTestFile(folder / L"QXCOMUSBCLN.dll", "not a library"));
  EXPECT_EQ(CallCleanupLibrary((folder / L"QXCOMUSBCLN.dll").c_str()), kCleanupNotLoaded);
  EXPECT_TRUE(folder.Remove());
}

}  // namespace
