#include "child/cleanup_library.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

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
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring missing = std::wstring(folder) + L"Portivo unit test missing\\QXCOMUSBCLN.dll";
  EXPECT_EQ(CallCleanupLibrary(missing.c_str()), kCleanupNotLoaded);

  // A file of that name that is no library at all.
  const std::wstring text = std::wstring(folder) + L"Portivo unit test QXCOMUSBCLN.dll";
  const HANDLE file = CreateFileW(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "not a library", 13, &written, nullptr);
  CloseHandle(file);
  EXPECT_EQ(CallCleanupLibrary(text.c_str()), kCleanupNotLoaded);
  EXPECT_TRUE(DeleteFileW(text.c_str()));
}

}  // namespace
