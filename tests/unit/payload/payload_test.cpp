#include "payload/catalogue.h"
#include "payload/crc32_fold.h"
#include "payload/digest.h"
#include "payload/extract.h"
#include "payload/removal_choice.h"
#include "payload/work_folder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "scratch_folder.h"

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

// Eighty distinct resources; every file name resolves alike in both string tables; every folder
// is made after its parent and before the rows written into it.
TEST(Catalogue, SetsAreWholeAndConsistent) {
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

TEST(EmulatorSetupChoice, Table) {
  const struct { bool functionFound, callSucceeded; BOOL wow64; unsigned expected; } rows[] = {
      {true, true, TRUE, kEmulatorSetup64NameId},  {true, true, FALSE, kEmulatorSetup32NameId},
      {true, false, TRUE, kEmulatorSetup32NameId}, {false, true, TRUE, kEmulatorSetup32NameId},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.expected, EmulatorSetupNameIdFor(r.functionFound, r.callSucceeded, r.wow64))
        << r.functionFound << r.callSucceeded << r.wow64;
  }
  // The test program may import it; the installer may not, since Windows 2000 lacks it.
  EXPECT_EQ(&::IsWow64Process, LookUpIsWow64Process());
}

TEST(FindPayloadDigest, ReadsTheRowOfItsIdAndNoHalfRow) {
  const unsigned char table[] = {
      104, 0, 0, 0, 0x05, 0x04, 0, 0, 0xE6, 0x8B, 0x72, 0xFC,  // 104: 1029 bytes, 0xFC728BE6
      0x2C, 0x01, 0, 0, 1, 0, 0, 0, 0x78, 0x56, 0x34, 0x12,    // 300: 1 byte, 0x12345678
      105, 0, 0, 0, 2, 0, 0, 0};                                // cut short
  struct Row { WORD id; bool found; std::uint32_t size; std::uint32_t crc; } rows[] = {
      {104, true, 1029, 0xFC728BE6u}, {300, true, 1, 0x12345678u}, {105, false, 0, 0}};
  for (const Row& row : rows) {
    PayloadDigest digest = {0, 0};
    EXPECT_EQ(row.found, FindPayloadDigest(table, sizeof table, row.id, &digest)) << row.id;
    EXPECT_EQ(row.size, digest.size) << row.id;
    EXPECT_EQ(row.crc, digest.crc) << row.id;
  }
}

// The fold gives the tables' CRC-32 for every length up to 300 bytes and a few long ones, from every
// start offset modulo 16, and both give the check value of "123456789". The fold is chosen only
// where CPUID reports PCLMULQDQ and SSE4.1 both; elsewhere the tables run, as they do here for
// short files and every fold's last bytes.
TEST(Crc32, FoldEqualsTheTablesAndRunsOnlyWithItsInstructions) {
  const struct { std::uint32_t ecx; Crc32Function chosen; } rows[] = {
      {1u << 1 | 1u << 19, Crc32Folded}, {~(1u << 1), Crc32}, {~(1u << 19), Crc32}};
  for (const auto& row : rows) EXPECT_EQ(row.chosen, ChooseCrc32(row.ecx)) << std::hex << row.ecx;
  CrcTables tables;
  FillCrcTables(tables);
  EXPECT_EQ(0xCBF43926u, Crc32(tables, "123456789", 9));
  if (ChooseCrc32(CpuidLeaf1Ecx()) != Crc32Folded) GTEST_SKIP() << "this processor cannot fold";
  EXPECT_EQ(0xCBF43926u, Crc32Folded(tables, "123456789", 9));
  std::vector<unsigned char> bytes((1 << 20) + 64);
  std::uint32_t seed = 1;
  for (unsigned char& b : bytes) b = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 24);
  const unsigned char* aligned = bytes.data() + (16 - reinterpret_cast<std::uintptr_t>(bytes.data()) % 16) % 16;
  std::vector<std::size_t> sizes = {4096, 65536 + 15, (1 << 20) + 7};
  for (std::size_t size = 0; size <= 300; ++size) sizes.push_back(size);
  for (std::size_t offset = 0; offset < 16; ++offset) {
    for (std::size_t size : sizes) {
      ASSERT_EQ(Crc32(tables, aligned + offset, size), Crc32Folded(tables, aligned + offset, size))
          << size << " bytes at offset " << offset;
    }
  }
}

// The second file's write stops half-way, as on a disk that fills up during the unpacking; or its
// close fails, as a write that a network share delays can. No run makes that, so the hook closes
// the handle itself and the installer's own close fails.
int g_writes = 0;
BOOL WINAPI SecondWriteFallsShort(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
  return WriteFile(file, data, ++g_writes < 2 ? size : size / 2, written, nullptr);
}
BOOL WINAPI SecondCloseFails(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
  return WriteFile(file, data, size, written, nullptr) && (++g_writes < 2 || CloseHandle(file));
}

// Everything is checked before the WorkFolder is made, and a set that did not arrive whole leaves
// no WorkFolder behind. The whole set passes only when our CRC-32 of resource 104 (1,029 bytes:
// eight-byte steps and a tail) equals the one the build took from gzip.
TEST(UnpackPayload, OnlyAWholeCheckedSetStays) {
  const PayloadEntry whole[] = {{104, kSetupNameId, 1}, {104, kCleanupLibraryNameId, 1}};
  const PayloadEntry undigested[] = {{104, kSetupNameId, 1}, {105, kCleanupLibraryNameId, 1}};
  struct Row { const PayloadEntry* rows; WriteFileFunction write; bool unpacked; int writes; } rows[] = {
      {whole, WriteFile, true, 0}, {whole, SecondWriteFallsShort, false, 2}, {whole, SecondCloseFails, false, 2},
      {undigested, SecondWriteFallsShort, false, 0},
  };
  wchar_t workPath[MAX_PATH];
  ASSERT_TRUE(WorkFolderPath(workPath));
  for (const Row& row : rows) {
    g_writes = 0;
    g_payloadWriteFile = row.write;
    WorkFolder work;
    const bool unpacked = UnpackPayload(PayloadSet{row.rows, 2, 1}, work) == kUnpacked;
    g_payloadWriteFile = WriteFile;
    EXPECT_EQ(row.unpacked, unpacked) << row.writes;
    EXPECT_EQ(row.writes, g_writes);
    EXPECT_EQ(row.unpacked, Exists(workPath)) << row.writes;
    if (unpacked) EXPECT_TRUE(DeleteWorkFolder(work));
  }
}

}  // namespace
