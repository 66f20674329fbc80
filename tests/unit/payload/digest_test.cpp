#include "payload/digest.h"

#include <gtest/gtest.h>

#include <string>

#include "payload/extract.h"
#include "payload/work_folder.h"
#include "scratch_folder.h"

namespace {

TEST(Crc32, MatchesZlibOnEveryPathThroughTheLoop) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7 + 3);
  // Expected values from Python's zlib.crc32.
  struct Row { std::string data; std::uint32_t expected; } rows[] = {
      {"", 0x00000000u}, {"123456789", 0xCBF43926u},
      {bytes.substr(1, 997), 0xF2686E7Fu},  // eight-byte steps and a tail, odd start
  };
  CrcTables tables;
  FillCrcTables(tables);
  for (const Row& row : rows) EXPECT_EQ(row.expected, Crc32(tables, row.data.data(), row.data.size())) << row.data.size();
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

// The second file's write stops half-way, as on a disk that fills up during the unpacking.
int g_writes = 0;
BOOL WINAPI SecondWriteFallsShort(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
  return WriteFile(file, data, ++g_writes < 2 ? size : size / 2, written, nullptr);
}

// Everything is checked before the WorkFolder is made, and a set that did not arrive whole leaves
// no WorkFolder behind.
TEST(UnpackPayload, OnlyAWholeCheckedSetStays) {
  const PayloadEntry whole[] = {{104, kSetupNameId, 1}, {104, kCleanupLibraryNameId, 1}};
  const PayloadEntry undigested[] = {{104, kSetupNameId, 1}, {105, kCleanupLibraryNameId, 1}};
  struct Row { const PayloadEntry* rows; WriteFileFunction write; bool unpacked; int writes; } rows[] = {
      {whole, WriteFile, true, 0}, {whole, SecondWriteFallsShort, false, 2}, {undigested, SecondWriteFallsShort, false, 0},
  };
  wchar_t workPath[MAX_PATH];
  ASSERT_TRUE(WorkFolderPath(workPath));
  for (const Row& row : rows) {
    g_writes = 0;
    g_payloadWriteFile = row.write;
    WorkFolder work;
    const bool unpacked = UnpackPayload(PayloadSet{row.rows, 2, 1}, work);
    g_payloadWriteFile = WriteFile;
    EXPECT_EQ(row.unpacked, unpacked) << row.writes;
    EXPECT_EQ(row.writes, g_writes);
    EXPECT_EQ(row.unpacked, Exists(workPath)) << row.writes;
    if (unpacked) EXPECT_TRUE(DeleteWorkFolder(work));
  }
}

}  // namespace
