// Scans of one 64-byte block of a row, a vector at a time where the target
// has SSE2 (always on x86-64), else a machine word at a time. Both forms stay
// compiled where possible so the tests can hold them against each other.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define KAV_ROW_SCAN_SSE2 1
#endif

namespace kav::scan {

namespace portable {

inline uint64_t Load64(const uint8_t* bytes) {
  uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// True when one of the 64 bytes is not zero.
inline bool AnyNonZero(const uint8_t* block) {
  uint64_t any = 0;
  for (unsigned i = 0; i < 64; i += 8) any |= Load64(block + i);
  return any != 0;
}

// Bit i set where byte i of the two blocks differs.
inline uint64_t ChangedBits(const uint8_t* row, const uint8_t* seed) {
  uint64_t bits = 0;
  for (unsigned i = 0; i < 64; ++i) bits |= uint64_t{row[i] != seed[i]} << i;
  return bits;
}

}  // namespace portable

#if defined(KAV_ROW_SCAN_SSE2)
namespace sse2 {

inline __m128i Load128(const uint8_t* bytes) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)); }

inline bool AnyNonZero(const uint8_t* block) {
  const __m128i any = _mm_or_si128(_mm_or_si128(Load128(block), Load128(block + 16)),
                                   _mm_or_si128(Load128(block + 32), Load128(block + 48)));
  return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF;
}

// The 16 bytes at `offset` as 16 bits, set where equal.
inline uint64_t SameBits16(const uint8_t* row, const uint8_t* seed, unsigned offset) {
  const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(Load128(row + offset), Load128(seed + offset)));
  return static_cast<uint64_t>(static_cast<uint32_t>(mask)) << offset;
}

inline uint64_t ChangedBits(const uint8_t* row, const uint8_t* seed) {
  return ~(SameBits16(row, seed, 0) | SameBits16(row, seed, 16) | SameBits16(row, seed, 32) |
           SameBits16(row, seed, 48));
}

}  // namespace sse2
namespace active = sse2;
#else
namespace active = portable;
#endif

}  // namespace kav::scan
