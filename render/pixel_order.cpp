#include "render/pixel_order.h"

#include <tmmintrin.h>
#if defined(_WIN32)
#include <intrin.h>
#endif

// GCC and clang compile SSSE3 instructions only into a function marked as
// allowed to use them; MSVC compiles the intrinsics anywhere, unmarked.
#if defined(__GNUC__) || defined(__clang__)
#define KAV_SSSE3_FUNCTION __attribute__((target("ssse3")))
#else
#define KAV_SSSE3_FUNCTION
#endif

namespace kav {
namespace {

// Pixels `from` to the end of the row, one pixel at a time; each pixel is
// read whole before it is written, so the row may be the source.
void ExchangePixels(const BYTE* source, BYTE* row, DWORD from, DWORD width) {
  for (DWORD x = from; x < width; ++x) {
    const BYTE first = source[3 * x];
    const BYTE second = source[3 * x + 1];
    const BYTE third = source[3 * x + 2];
    row[3 * x] = third;
    row[3 * x + 1] = second;
    row[3 * x + 2] = first;
  }
}

// Five pixels and the first byte of the next pixel, which the exchange
// leaves as it is.
__m128i LoadPiece(const BYTE* pixels) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels)); }

KAV_SSSE3_FUNCTION void StorePiece(BYTE* pixels, __m128i piece) {
  const __m128i exchange = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), _mm_shuffle_epi8(piece, exchange));
}

KAV_SSSE3_FUNCTION void StoreStep(BYTE* pixels, __m128i a, __m128i b, __m128i c, __m128i d) {
  StorePiece(pixels, a);
  StorePiece(pixels + 15, b);
  StorePiece(pixels + 30, c);
  StorePiece(pixels + 45, d);
}

// Twenty pixels a step through the byte shuffle, several times the byte
// loop's speed, then single pieces. A step is four pieces 15 bytes apart;
// the byte a piece leaves is written again by the piece after it. Every
// load and store ends inside the row. Each step's pixels are loaded before
// the step before them is stored, so in place no load waits for a store it
// overlaps, and each load still finds its own bytes (a single piece waits
// for the one before it, at most three times a row).
KAV_SSSE3_FUNCTION void ShuffleRow(const BYTE* source, BYTE* row, DWORD width) {
  DWORD x = 0;
  if (width >= 21) {
    const BYTE* in = source;
    BYTE* out = row;
    __m128i a = LoadPiece(in), b = LoadPiece(in + 15), c = LoadPiece(in + 30), d = LoadPiece(in + 45);
    for (; x + 41 <= width; x += 20, in += 60, out += 60) {
      const __m128i nextA = LoadPiece(in + 60), nextB = LoadPiece(in + 75);
      const __m128i nextC = LoadPiece(in + 90), nextD = LoadPiece(in + 105);
      StoreStep(out, a, b, c, d);
      a = nextA;
      b = nextB;
      c = nextC;
      d = nextD;
    }
    StoreStep(out, a, b, c, d);
    x += 20;
  }
  for (; x + 6 <= width; x += 5) StorePiece(row + 3 * x, LoadPiece(source + 3 * x));
  ExchangePixels(source, row, x, width);
}

}  // namespace

// On Windows the processor is asked directly: CPUID leaf 1, bit 9 of ECX.
bool ProcessorCanShuffle() {
#if defined(_WIN32)
  int registers[4] = {};
  __cpuid(registers, 1);
  return (registers[2] & (1 << 9)) != 0;
#else
  return __builtin_cpu_supports("ssse3");
#endif
}

void ExchangeFirstAndThirdBytes(const BYTE* source, BYTE* row, DWORD width) {
  static const bool canShuffle = ProcessorCanShuffle();
  if (canShuffle) {
    ShuffleRow(source, row, width);
  } else {
    ExchangePixels(source, row, 0, width);
  }
}

void ExchangeFirstAndThirdBytesInBand(PBYTE bits, DWORD width, DWORD rows, DWORD stride) {
  PBYTE row = bits;
  for (DWORD y = 0; y < rows; ++y, row += stride) ExchangeFirstAndThirdBytes(row, row, width);
}

}  // namespace kav
