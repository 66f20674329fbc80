// The built installers carry their package exactly: every payload resource holds the bytes of its
// file in the package folder it was built around, under language 1033, with a digest row of its
// size and CRC-32, and nothing else is bound.
#include <set>

#include "e2e_support.h"

namespace e2e {
namespace {

BOOL CALLBACK CollectId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
  // A named (not numbered) resource is recorded as 0, which no payload row uses.
  reinterpret_cast<std::set<WORD>*>(ids)->insert(IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<ULONG_PTR>(name)) : 0);
  return TRUE;
}
BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
  reinterpret_cast<std::set<WORD>*>(languages)->insert(language);
  return TRUE;
}

// The bytes of RT_RCDATA `id` in language 1033 of a module mapped as data.
bool Rcdata(HMODULE module, WORD id, std::vector<unsigned char>* bytes) {
  HRSRC found = FindResourceExW(module, RT_RCDATA, MAKEINTRESOURCEW(id), 1033);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const unsigned char* data = loaded != nullptr ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
  if (data == nullptr) return false;
  bytes->assign(data, data + SizeofResource(module, found));
  return true;
}

TEST(Binding, EveryPayloadResourceIsItsPackageFileByteForByteWithItsDigestAndNothingElseIsBound) {
  std::vector<PayloadEntry> rows(InstallSet, InstallSet + kInstallCount);
  rows.insert(rows.end(), RemovalSet, RemovalSet + kRemovalCount);
  std::set<WORD> ids;
  for (const PayloadEntry& row : rows) ids.insert(row.resourceId);
  ASSERT_EQ(80u, rows.size());
  ASSERT_EQ(80u, ids.size()) << "a resource id serves two rows";
  struct Built { const char* label; const wchar_t* installer; const wchar_t* packageFolder; } builds[] = {
      {"probe", PORTIVO_PROBE_INSTALLER, PORTIVO_PROBE_PACKAGE_DIR},
      {"sample", PORTIVO_SAMPLE_INSTALLER, PORTIVO_SAMPLE_PACKAGE_DIR},
  };
  std::vector<unsigned char> setups[2];
  CrcTables tables;
  FillCrcTables(tables);
  for (int b = 0; b < 2; ++b) {
    SCOPED_TRACE(builds[b].label);
    HMODULE module = LoadLibraryExW(builds[b].installer, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    std::set<WORD> bound;
    EnumResourceNamesW(module, RT_RCDATA, CollectId, reinterpret_cast<LONG_PTR>(&bound));
    std::set<WORD> expected = ids;
    expected.insert(kDigestTableId);
    EXPECT_EQ(expected, bound);
    std::vector<unsigned char> digests;
    ASSERT_TRUE(Rcdata(module, kDigestTableId, &digests));
    EXPECT_EQ(rows.size() * kDigestRowBytes, digests.size()) << "a row too many or too few";
    for (const PayloadEntry& row : rows) {
      const std::wstring relative = PayloadRelativePath(row);
      SCOPED_TRACE("resource " + std::to_string(row.resourceId) + " " + Narrow(relative));
      std::vector<unsigned char> file, bytes;
      ASSERT_EQ(runner::kRunnerOk, runner::ReadWholeFile(std::wstring(builds[b].packageFolder) + L"\\" + relative, &file));
      ASSERT_TRUE(Rcdata(module, row.resourceId, &bytes)) << "not bound under language 1033";
      EXPECT_TRUE(file == bytes) << "the bytes differ";
      PayloadDigest digest;
      ASSERT_TRUE(FindPayloadDigest(digests.data(), digests.size(), row.resourceId, &digest)) << "no digest";
      EXPECT_EQ(bytes.size(), digest.size);
      EXPECT_EQ(Crc32(tables, bytes.data(), bytes.size()), digest.crc);
      std::set<WORD> languages;
      EnumResourceLanguagesW(module, RT_RCDATA, MAKEINTRESOURCEW(row.resourceId), CollectLanguage,
                             reinterpret_cast<LONG_PTR>(&languages));
      EXPECT_EQ(std::set<WORD>{1033}, languages);
    }
    Rcdata(module, 104, &setups[b]);
    FreeLibrary(module);
  }
  // The two packages differ, so a build that bound the wrong folder cannot pass the comparison.
  EXPECT_FALSE(setups[0] == setups[1]);
}

}  // namespace
}  // namespace e2e
