#include "payload/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// The entry in one language's table, read directly so both tables are checked whatever the
// user's language is.
std::wstring TableEntry(unsigned id, WORD language) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceExW(self, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
  if (found == nullptr) return L"";
  const WCHAR* p = static_cast<const WCHAR*>(LockResource(LoadResource(self, found)));
  for (unsigned i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::wstring(p + 1, *p);
}

}  // namespace

// Eighty distinct resources; every file name resolves alike in both string tables; every folder
// is made after its parent and before the rows written into it.
TEST(Catalogue, SetsAreWholeAndConsistent) {
  EXPECT_EQ(77u, kInstallPayload.count);
  EXPECT_EQ(3u, kRemovalPayload.count);
  std::set<WORD> ids;
  for (const PayloadSet& set : {kInstallPayload, kRemovalPayload}) {
    for (std::size_t i = 0; i < set.count; ++i) {
      const PayloadEntry& row = set.rows[i];
      ids.insert(row.resourceId);
      std::wstring name;
      for (const PayloadName& n : PayloadNames) if (n.id == row.nameId) name = n.text;
      EXPECT_NE(L"", name) << row.nameId;
      EXPECT_EQ(name, TableEntry(row.nameId, 1033)) << row.nameId;
      EXPECT_EQ(name, TableEntry(row.nameId, 1041)) << row.nameId;
      EXPECT_GE(row.folder, 1);
      EXPECT_LE(row.folder, set.folderCount);
    }
  }
  EXPECT_EQ(80u, ids.size());
  for (std::size_t i = 0; i < kFolderCount; ++i) EXPECT_LT(PayloadFolders[i].parent, PayloadFolders[i].index);
}
