// The payload's CRC-32 digests, checked before anything is written: a damaged download or a file
// cut short must never reach the elevated setup.
#pragma once
#include <cstddef>
#include <cstdint>
#include <windows.h>

#include "payload/catalogue.h"
#include "payload/digest_table_id.h"

// The table the build generates from the catalogue and the package files: one row of three
// little-endian 32-bit words per payload resource: resource id, size, CRC-32.
constexpr WORD kDigestTableId = PORTIVO_DIGEST_TABLE_ID;
constexpr std::size_t kDigestRowBytes = 12;

// Lookup tables for eight bytes a step. Held by the caller (8 KB on the stack): a global would
// be carried in the file, as the toolchain puts zeroed data of separate sections there.
struct CrcTables {
  std::uint32_t byOffset[8][256];
};
void FillCrcTables(CrcTables& tables);

// CRC-32 as zlib and gzip compute it (reflected polynomial 0xEDB88320, inverted before and after).
std::uint32_t Crc32(const CrcTables& tables, const void* data, std::size_t size);
// The same, the bulk folded with carry-less multiplication: only where ChooseCrc32 picks it.
std::uint32_t Crc32Folded(const CrcTables& tables, const void* data, std::size_t size);

// Crc32Folded where ECX of CPUID leaf 1 reports PCLMULQDQ (bit 1) and SSE4.1 (bit 19), else Crc32.
using Crc32Function = std::uint32_t (*)(const CrcTables& tables, const void* data, std::size_t size);
Crc32Function ChooseCrc32(std::uint32_t cpuidLeaf1Ecx);

struct PayloadDigest {
  std::uint32_t size;
  std::uint32_t crc;
};

// The row of resourceId in a digest table of tableSize bytes; false when there is none.
bool FindPayloadDigest(const unsigned char* table, std::size_t tableSize, WORD resourceId,
                       PayloadDigest* digest);

// True when every resource of the set is in the installer's own module with the size and CRC-32
// the build recorded. Reads the mapped resources in place.
bool VerifyPayload(const PayloadSet& set);
