#include "payload/delete_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "scratch_folder.h"

// Read-only entries go too; entries with a leading dot stay and keep their folder.
TEST(DeleteFolderTree, RemovesNestedAndReadOnlyEntriesButNoDotEntries) {
  ScratchFolder folder;
  const std::wstring root = folder / L"tree";
  for (const wchar_t* sub : {L"", L"\\sub", L"\\sub\\deeper"}) CreateDirectoryW((root + sub).c_str(), nullptr);
  ASSERT_TRUE(WriteTestFile(root + L"\\a.txt", "a"));
  ASSERT_TRUE(WriteTestFile(root + L"\\sub\\deeper\\b.txt", "b"));
  SetFileAttributesW((root + L"\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW((root + L"\\sub").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(DeleteFolderTree((root + L"\\").c_str()));  // with the separator the WorkFolder has
  EXPECT_FALSE(Exists(root));
  ASSERT_TRUE(WriteTestFile(folder / L".keep", "k"));
  ASSERT_TRUE(WriteTestFile(folder / L"gone.txt", "g"));
  EXPECT_FALSE(DeleteFolderTree(folder.path()));
  EXPECT_TRUE(Exists(folder / L".keep"));
  EXPECT_FALSE(Exists(folder / L"gone.txt"));
  DeleteFileW((folder / L".keep").c_str());
}
