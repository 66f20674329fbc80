#include "payload/extract.h"

#include <gtest/gtest.h>

#include <string>

#include "scratch_folder.h"

namespace {

std::string ResourceBytes(WORD id) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));
  if (found == nullptr) return "";
  const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  return std::string(data, SizeofResource(nullptr, found));
}

}  // namespace

TEST(ExtractPayloadFile, WritesTheResourceByteForByteAndReplacesAnOldFile) {
  ScratchFolder folder;
  const std::string expected = ResourceBytes(104);
  ASSERT_GT(expected.size(), 1024u);  // every byte value, CR, LF and ^Z among them
  ASSERT_TRUE(WriteTestFile(folder / L"setup.exe", std::string(5000, 'x')));
  EXPECT_EQ(0u, ExtractPayloadFile(104, L"setup.exe", folder.path().c_str()));
  EXPECT_EQ(expected, ReadTestFile(folder / L"setup.exe"));
  EXPECT_TRUE(folder.Remove());
}

TEST(ExtractPayloadFile, DoubledSeparatorOfTheWorkFolderIsHarmless) {
  ScratchFolder folder;
  const std::wstring withSeparator = folder.path() + L"\\";
  EXPECT_EQ(0u, ExtractPayloadFile(104, L"a.bin", withSeparator.c_str()));
  EXPECT_EQ(ResourceBytes(104), ReadTestFile(folder / L"a.bin"));
}

TEST(ExtractPayloadFile, FailuresCreateNoFile) {
  ScratchFolder folder;
  EXPECT_NE(0u, ExtractPayloadFile(9999, L"none.bin", folder.path().c_str()));
  EXPECT_FALSE(Exists(folder / L"none.bin"));
  EXPECT_NE(0u, ExtractPayloadFile(104, L"x.bin", (folder / L"no-such-folder").c_str()));

  // A joined path longer than the buffer is refused rather than cut to some other name.
  std::wstring longFolder = folder.path() + L"\\" + std::wstring(kJoinedPathCapacity, L'a');
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE),
            ExtractPayloadFile(104, L"setup.exe", longFolder.c_str()));
  std::wstring justFits(kJoinedPathCapacity - 1 - 2 - folder.path().size() - 1, L'b');
  EXPECT_NE(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE),
            ExtractPayloadFile(104, L"c", (folder.path() + L"\\" + justFits).c_str()));
  EXPECT_TRUE(folder.Remove());
}
