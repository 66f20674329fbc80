#include "payload/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// The entry of the string table in one language, read directly so both tables are checked
// whatever the user's language is.
std::wstring TableEntry(unsigned id, WORD language) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceExW(self, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
  if (found == nullptr) return L"";
  const WCHAR* p = static_cast<const WCHAR*>(LockResource(LoadResource(self, found)));
  for (unsigned i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::wstring(p + 1, *p);
}

const wchar_t* NameOf(unsigned id) {
  for (const PayloadName& name : PayloadNames)
    if (name.id == id) return name.text;
  return nullptr;
}

}  // namespace

TEST(Catalogue, SetsHoldEightyDistinctResourcesInTheirRange) {
  std::set<WORD> ids;
  for (const PayloadEntry& row : InstallSet) ids.insert(row.resourceId);
  for (const PayloadEntry& row : RemovalSet) ids.insert(row.resourceId);
  EXPECT_EQ(77u, kInstallPayload.count);
  EXPECT_EQ(3u, kRemovalPayload.count);
  EXPECT_EQ(80u, ids.size());
  for (WORD id : ids) {
    EXPECT_GE(id, 104);
    EXPECT_LE(id, 214);
    // 108, 109, 114-116, 123, 124, 126-139, 157-163, 209, 211 and 213 are not payload ids.
    EXPECT_FALSE(id == 108 || id == 109 || (id >= 114 && id <= 116) || id == 123 || id == 124 ||
                 (id >= 126 && id <= 139) || (id >= 157 && id <= 163) || id == 209 || id == 211 ||
                 id == 213)
        << id;
  }
}

TEST(Catalogue, EveryNameResolvesAlikeInBothLanguages) {
  for (const PayloadEntry* set : {InstallSet, RemovalSet}) {
    std::size_t count = set == InstallSet ? kInstallCount : kRemovalCount;
    for (std::size_t i = 0; i < count; ++i) {
      const wchar_t* name = NameOf(set[i].nameId);
      ASSERT_NE(nullptr, name) << set[i].nameId;
      EXPECT_EQ(name, TableEntry(set[i].nameId, 1033)) << set[i].nameId;
      EXPECT_EQ(name, TableEntry(set[i].nameId, 1041)) << set[i].nameId;
    }
  }
}

TEST(Catalogue, FoldersAreMadeBeforeAnythingIsWrittenIntoThem) {
  // Folders are made in table order, all before the first row, so a parent must come before its
  // child and every row's folder must be among those the set makes.
  for (std::size_t i = 0; i < kFolderCount; ++i) {
    EXPECT_EQ(static_cast<int>(i + 1), PayloadFolders[i].index);
    EXPECT_LT(PayloadFolders[i].parent, PayloadFolders[i].index);
  }
  for (const PayloadEntry& row : InstallSet) {
    EXPECT_GE(row.folder, 1);
    EXPECT_LE(row.folder, kInstallPayload.folderCount);
  }
  for (const PayloadEntry& row : RemovalSet) EXPECT_EQ(1, row.folder);
  EXPECT_EQ(1, kRemovalPayload.folderCount);
}

TEST(Catalogue, RowsThatAreEasyToMixUp) {
  struct Row { std::size_t index; WORD resource; unsigned name; int folder; } rows[] = {
      {0, 104, 114, 1},    // setup.exe first
      {10, 146, 150, 1},   // 0x0804.ini: the name ids run opposite to the resource ids
      {11, 147, 149, 1},   // 0x0404.ini
      {69, 145, 151, 20},  // the Chinese manual folders get ReadMeE.txt
      {71, 142, 153, 21},
      {76, 154, 161, 21},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.resource, InstallSet[row.index].resourceId) << row.index;
    EXPECT_EQ(row.name, InstallSet[row.index].nameId) << row.index;
    EXPECT_EQ(row.folder, InstallSet[row.index].folder) << row.index;
  }
  EXPECT_EQ(150, RemovalSet[2].resourceId);
  EXPECT_EQ(kCleanupLibraryNameId, RemovalSet[2].nameId);
}
