#include "payload/digest.h"

#include "payload/extract.h"

namespace {

// Eight tables let the loop take eight bytes a step; filled on first use, so they cost the file
// nothing.
std::uint32_t g_crcTables[8][256];
bool g_crcTablesFilled = false;

void FillCrcTables() {
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    g_crcTables[0][n] = c;
  }
  for (std::uint32_t n = 0; n < 256; ++n) {
    for (int t = 1; t < 8; ++t) {
      g_crcTables[t][n] = (g_crcTables[t - 1][n] >> 8) ^ g_crcTables[0][g_crcTables[t - 1][n] & 0xFF];
    }
  }
  g_crcTablesFilled = true;
}

std::uint32_t LittleEndianWord(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

std::uint32_t Crc32(const void* data, std::size_t size) {
  if (!g_crcTablesFilled) FillCrcTables();
  const unsigned char* p = static_cast<const unsigned char*>(data);
  std::uint32_t crc = 0xFFFFFFFFu;
  // The payload is tens of megabytes and every run reads all of it: eight bytes a step.
  for (; size >= 8; p += 8, size -= 8) {
    const std::uint32_t low = LittleEndianWord(p) ^ crc;
    const std::uint32_t high = LittleEndianWord(p + 4);
    crc = g_crcTables[7][low & 0xFF] ^ g_crcTables[6][(low >> 8) & 0xFF] ^
          g_crcTables[5][(low >> 16) & 0xFF] ^ g_crcTables[4][low >> 24] ^
          g_crcTables[3][high & 0xFF] ^ g_crcTables[2][(high >> 8) & 0xFF] ^
          g_crcTables[1][(high >> 16) & 0xFF] ^ g_crcTables[0][high >> 24];
  }
  for (; size > 0; ++p, --size) crc = g_crcTables[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return ~crc;
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
  if (LockPayloadResource(kDigestTableId, &table, &tableSize) != 0) return false;
  for (std::size_t i = 0; i < set.count; ++i) {
    const WORD id = set.rows[i].resourceId;
    PayloadDigest digest;
    const unsigned char* data = nullptr;
    DWORD size = 0;
    if (!FindPayloadDigest(table, tableSize, id, &digest) ||
        LockPayloadResource(id, &data, &size) != 0 || size != digest.size ||
        Crc32(data, size) != digest.crc) {
      return false;
    }
  }
  return true;
}
