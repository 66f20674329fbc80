// The part of the CRC-32 that needs PCLMULQDQ and SSE4.1, compiled for them alone: the rest of the
// installer still runs on the build's Pentium Pro.
#pragma once
#include <cstddef>
#include <cstdint>

// ECX of CPUID leaf 1, the processor's feature bits; 0 where the leaf is missing.
std::uint32_t CpuidLeaf1Ecx();

// The raw CRC-32 state (not inverted) after size bytes from p, starting from crc, by folding
// 64 bytes a step with carry-less multiplication. size is at least 64 and a multiple of 16. Only for
// processors whose CpuidLeaf1Ecx has bits 1 (PCLMULQDQ) and 19 (SSE4.1).
std::uint32_t FoldCrc32Blocks(std::uint32_t crc, const unsigned char* p, std::size_t size);
