#include "payload/extract.h"

#include <gtest/gtest.h>

#include <string>

#include "scratch_folder.h"

// Resource 104 holds every byte value, CR, LF and ^Z among them.
TEST(ExtractPayloadFile, ByteForByteOverAnOldFileAndNeverUnderACutName) {
  ScratchFolder folder;
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(104), MAKEINTRESOURCEW(10));
  ASSERT_NE(nullptr, found);
  const std::string expected(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                             SizeofResource(nullptr, found));
  ASSERT_TRUE(WriteTestFile(folder / L"setup.exe", std::string(5000, 'x')));
  EXPECT_EQ(0u, ExtractPayloadFile(104, L"setup.exe", folder.path().c_str()));
  EXPECT_EQ(expected, ReadTestFile(folder / L"setup.exe"));
  EXPECT_NE(0u, ExtractPayloadFile(9999, L"none.bin", folder.path().c_str()));
  EXPECT_FALSE(Exists(folder / L"none.bin"));
  const std::wstring tooLong = folder.path() + L"\\" + std::wstring(kJoinedPathCapacity, L'a');
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), ExtractPayloadFile(104, L"setup.exe", tooLong.c_str()));
  EXPECT_TRUE(folder.Remove());
}
