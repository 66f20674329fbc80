// CRC-32 by folding (Gopal et al., "Fast CRC Computation for Generic Polynomials Using PCLMULQDQ
// Instruction", Intel, 2009), in the bit-reflected form of gzip's CRC: each 128-bit lane is
// multiplied, without carries, by x^n mod P for the distance it moves forward and added onto the
// bytes there, so the data shrinks to one lane and then, by Barrett reduction, to 32 bits.
#include "payload/crc32_fold.h"

#include <cpuid.h>
#include <smmintrin.h>
#include <wmmintrin.h>

// No AVX: the encodings would need an operating system that saves the wider registers, and
// Windows 2000 does not. SSE state every Windows from 2000 on saves.
#define PORTIVO_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))

namespace {

// Each constant is x^n mod P (P the CRC-32 polynomial 0x104C11DB7), bit-reflected and shifted
// left by one, as PCLMULQDQ multiplies reflected operands. The low half of a lane is multiplied by
// the first of each pair, the high half by the second.
// Over four lanes (512 bits): x^(512+32), x^(512-32).
constexpr long long kFoldFourLow = 0x154442BD4, kFoldFourHigh = 0x1C6E41596;
// Over one lane (128 bits): x^(128+32), x^(128-32); the second also takes 128 bits to 96.
constexpr long long kFoldOneLow = 0x1751997D0, kFoldOneHigh = 0x0CCAA009E;
// 96 bits to 64: x^64.
constexpr long long kFoldToSixtyFour = 0x163CD6124;
// Barrett reduction: P itself and x^64 / P, each reflected over 33 bits.
constexpr long long kPolynomial = 0x1DB710641, kBarrettQuotient = 0x1F7011641;

PORTIVO_FOLD_TARGET inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The lane moved forward by the distance its constants stand for, added onto the bytes there.
PORTIVO_FOLD_TARGET inline __m128i Fold(__m128i lane, __m128i constants, __m128i onto) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(lane, constants, 0x00),
                                     _mm_clmulepi64_si128(lane, constants, 0x11)), onto);
}

}  // namespace

std::uint32_t CpuidLeaf1Ecx() {
  // Also asks whether the processor has CPUID and the leaf at all: an older one gets the tables.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) ? ecx : 0;
}

// Windows gives a 32-bit thread a stack aligned to 4 bytes only: should this function ever spill an
// SSE register, the entry realigns the stack first, so no aligned store can fault. (Built -Os, it
// keeps everything in registers and realigns nothing.)
PORTIVO_FOLD_TARGET __attribute__((force_align_arg_pointer, noinline))
std::uint32_t FoldCrc32Blocks(std::uint32_t crc, const unsigned char* p, std::size_t size) {
  const __m128i four = _mm_set_epi64x(kFoldFourHigh, kFoldFourLow);
  const __m128i one = _mm_set_epi64x(kFoldOneHigh, kFoldOneLow);
  // The running state is added to the first four bytes, as the table code does byte by byte.
  __m128i a = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i b = Load(p + 16), c = Load(p + 32), d = Load(p + 48);
  // Four independent lanes keep the multiplier busy while each product is still on its way.
  for (p += 64, size -= 64; size >= 64; p += 64, size -= 64) {
    a = Fold(a, four, Load(p));
    b = Fold(b, four, Load(p + 16));
    c = Fold(c, four, Load(p + 32));
    d = Fold(d, four, Load(p + 48));
  }
  a = Fold(Fold(Fold(a, one, b), one, c), one, d);
  for (; size >= 16; p += 16, size -= 16) a = Fold(a, one, Load(p));
  // 128 bits to 96, to 64, then Barrett's two multiplications leave the remainder in bits 32-63.
  const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
  a = _mm_xor_si128(_mm_srli_si128(a, 8), _mm_clmulepi64_si128(a, one, 0x10));
  a = _mm_xor_si128(_mm_srli_si128(a, 4),
                    _mm_clmulepi64_si128(_mm_and_si128(a, low32), _mm_set_epi64x(0, kFoldToSixtyFour), 0x00));
  const __m128i barrett = _mm_set_epi64x(kBarrettQuotient, kPolynomial);
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(a, low32), barrett, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
  return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(a, t), 1));
}
