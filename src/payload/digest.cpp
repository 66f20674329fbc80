#include "payload/digest.h"

#include "common/run_log.h"
#include "common/string_table.h"
#include "payload/crc32_fold.h"
#include "payload/extract.h"

namespace {

std::uint32_t LittleEndianWord(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The raw state (not inverted) after size more bytes: the whole of the table path, and the fold's
// last 0-15 bytes.
std::uint32_t Crc32Update(const CrcTables& tables, std::uint32_t crc, const unsigned char* p, std::size_t size) {
  const std::uint32_t (&t)[8][256] = tables.byOffset;
  // The payload is tens of megabytes and every run reads all of it: eight bytes a step.
  for (; size >= 8; p += 8, size -= 8) {
    const std::uint32_t low = LittleEndianWord(p) ^ crc;
    const std::uint32_t high = LittleEndianWord(p + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; size > 0; ++p, --size) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return crc;
}

}  // namespace

void FillCrcTables(CrcTables& tables) {
  std::uint32_t (&t)[8][256] = tables.byOffset;
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (std::uint32_t n = 0; n < 256; ++n) {
    for (int k = 1; k < 8; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  }
}

std::uint32_t Crc32(const CrcTables& tables, const void* data, std::size_t size) {
  return ~Crc32Update(tables, 0xFFFFFFFFu, static_cast<const unsigned char*>(data), size);
}

std::uint32_t Crc32Folded(const CrcTables& tables, const void* data, std::size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  std::uint32_t crc = 0xFFFFFFFFu;
  // Below four lanes' worth the tables are as fast; above, they take what is left of 16 bytes.
  if (size >= 64) {
    const std::size_t folded = size & ~static_cast<std::size_t>(15);
    crc = FoldCrc32Blocks(crc, p, folded);
    p += folded;
    size -= folded;
  }
  return ~Crc32Update(tables, crc, p, size);
}

Crc32Function ChooseCrc32(std::uint32_t cpuidLeaf1Ecx) {
  constexpr std::uint32_t kFoldInstructions = 1u << 1 | 1u << 19;  // PCLMULQDQ, SSE4.1
  return (cpuidLeaf1Ecx & kFoldInstructions) == kFoldInstructions ? Crc32Folded : Crc32;
}

bool FindPayloadDigest(const unsigned char* table, std::size_t tableSize, WORD resourceId,
                       PayloadDigest* digest) {
  for (std::size_t at = 0; at + kDigestRowBytes <= tableSize; at += kDigestRowBytes) {
    if (LittleEndianWord(table + at) == resourceId) {
      digest->size = LittleEndianWord(table + at + 4);
      digest->crc = LittleEndianWord(table + at + 8);
      return true;
    }
  }
  return false;
}

bool VerifyPayload(const PayloadSet& set) {
  const unsigned char* table = nullptr;
  DWORD tableSize = 0;
  const DWORD tableError = LockPayloadResource(kDigestTableId, &table, &tableSize);
  if (tableError != 0) {
    Log("payload check: the digest table cannot be read, %e", tableError);
    return false;
  }
  CrcTables tables;
  FillCrcTables(tables);
  // The whole payload is read before anything is written: the fold, several times as fast, where it can.
  const Crc32Function crc32 = ChooseCrc32(CpuidLeaf1Ecx());
  unsigned long bytes = 0;
  for (std::size_t i = 0; i < set.count; ++i) {
    const PayloadEntry& row = set.rows[i];
    PayloadDigest digest = {};
    const unsigned char* data = nullptr;
    DWORD size = 0;
    const bool listed = FindPayloadDigest(table, tableSize, row.resourceId, &digest);
    const DWORD error = LockPayloadResource(row.resourceId, &data, &size);
    const std::uint32_t crc = error == 0 && size == digest.size ? crc32(tables, data, size) : 0;
    if (!listed || error != 0 || size != digest.size || crc != digest.crc) {
      wchar_t name[MAX_PATH];
      LoadTableString(row.nameId, name, MAX_PATH);
      Log("payload check: %s (resource %d) is damaged: expected %u bytes, CRC-32 %x; found %u bytes, CRC-32 %x%a",
          name, static_cast<int>(row.resourceId), static_cast<DWORD>(digest.size), static_cast<DWORD>(digest.crc),
          size, static_cast<DWORD>(crc), !listed ? "; no digest recorded" : error != 0 ? "; not readable" : "");
      return false;
    }
    bytes += size;
  }
  Log("payload check: %u files, %u bytes, intact", static_cast<DWORD>(set.count), bytes);
  return true;
}
