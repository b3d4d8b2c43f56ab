#include "host/band_builder.h"

#include <emmintrin.h>
#include <tmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/luma.h"
#include "render/pixel_order.h"

namespace kav::host {
namespace {

// The 8 x 8 ordered-dither matrix.
constexpr uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

constexpr uint8_t kWhite = 0xFF;

// Thresholds 2 to 254: black is always ink and white never.
uint8_t Threshold(uint32_t x, uint32_t y) { return static_cast<uint8_t>(kBayer[y % 8][x % 8] * 4 + 2); }

}  // namespace

bool InkAt(uint8_t level, uint32_t x, uint32_t y) { return level < Threshold(x, y); }

uint32_t BandStride(uint32_t width, uint32_t bitCount) {
  return static_cast<uint32_t>((uint64_t{width} * bitCount + 31) / 32 * 4);
}

namespace {

// A page's rows are thousands of pixels, so each row is made sixteen or more
// pixels a step, with the processor's vector instructions; the pixels a step
// leaves at the end of a row go one at a time, through the same functions
// that make a whole row where the processor lacks a step's instructions.
// Every load and store stays inside its row.

// One pixel at a time, from pixel `from` to the end of the row.
void ExpandFrom(const uint8_t* gray, uint32_t from, uint32_t width, uint8_t* bgr) {
  for (uint32_t x = from; x < width; ++x) bgr[3 * x] = bgr[3 * x + 1] = bgr[3 * x + 2] = gray[x];
}

void LumaFrom(const uint8_t* rgb, uint32_t from, uint32_t width, uint8_t* gray) {
  for (uint32_t x = from; x < width; ++x) gray[x] = Luma(rgb[3 * x], rgb[3 * x + 1], rgb[3 * x + 2]);
}

// `from` is a multiple of 8; 1 is white, and the bits past the row's end stay white.
void DitherFrom(const uint8_t* gray, uint32_t from, uint32_t width, uint32_t y, uint8_t* bits) {
  for (uint32_t first = from; first < width; first += 8) {
    uint8_t byte = kWhite;
    for (uint32_t bit = 0; bit < 8 && first + bit < width; ++bit) {
      if (InkAt(gray[first + bit], first + bit, y)) byte &= static_cast<uint8_t>(~(0x80 >> bit));
    }
    bits[first / 8] = byte;
  }
}

bool InkFrom(const uint8_t* bytes, size_t from, size_t count) {
  uint8_t whiteOnly = kWhite;
  for (size_t i = from; i < count; ++i) whiteOnly &= bytes[i];
  return whiteOnly != kWhite;
}

__m128i Load(const uint8_t* bytes) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)); }
void Store(uint8_t* bytes, __m128i value) { _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), value); }
bool AllWhite(__m128i whiteOnly) { return _mm_movemask_epi8(_mm_cmpeq_epi8(whiteOnly, _mm_set1_epi8(-1))) == 0xFFFF; }

// Whether any of `count` bytes is not white: four vectors a step, each into
// its own sum, so that no step waits for the one before it.
bool HasInk(const uint8_t* bytes, size_t count) {
  __m128i a = _mm_set1_epi8(-1), b = a, c = a, d = a;
  size_t i = 0;
  for (; i + 64 <= count; i += 64) {
    a = _mm_and_si128(a, Load(bytes + i));
    b = _mm_and_si128(b, Load(bytes + i + 16));
    c = _mm_and_si128(c, Load(bytes + i + 32));
    d = _mm_and_si128(d, Load(bytes + i + 48));
  }
  for (; i + 16 <= count; i += 16) a = _mm_and_si128(a, Load(bytes + i));
  return !AllWhite(_mm_and_si128(_mm_and_si128(a, b), _mm_and_si128(c, d))) || InkFrom(bytes, i, count);
}

// The ink bits of 16 pixels whose bytes in `ink` are all ones where there is
// ink: one byte per 8 pixels, first pixel in the high bit, in bytes 0 and 8.
__m128i InkBits(__m128i ink) {
  const __m128i bitOfPixel = _mm_setr_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
  return _mm_sad_epu8(_mm_and_si128(ink, bitOfPixel), _mm_setzero_si128());
}

// The ink bytes of 64 pixels from the ink bits of each 16 of them.
__m128i InkBytes(__m128i first, __m128i second, __m128i third, __m128i fourth) {
  // Bytes 0 to 3 the ink of pixels 0-7, 16-23, 32-39, 48-55; bytes 8 to 11 of the pixels 8 later.
  const __m128i steps = _mm_or_si128(_mm_or_si128(first, _mm_slli_epi64(second, 8)),
                                     _mm_or_si128(_mm_slli_epi64(third, 16), _mm_slli_epi64(fourth, 24)));
  return _mm_unpacklo_epi8(steps, _mm_srli_si128(steps, 8));
}

// Stores 64 pixels' ink bytes as 1-bit row bytes (1 is white) and adds them to `inked`.
void StoreInk(__m128i ink, uint8_t* bits, __m128i& inked) {
  inked = _mm_or_si128(inked, ink);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(bits), _mm_xor_si128(ink, _mm_set1_epi8(-1)));
}

bool AnyInk(__m128i inked) { return _mm_movemask_epi8(_mm_cmpeq_epi8(inked, _mm_setzero_si128())) != 0xFFFF; }

// Ink where a gray level is at most its limit: the dither's thresholds less
// one, for the 16 pixels of row y that start at a multiple of 8.
__m128i LevelLimits(uint32_t y) {
  alignas(16) uint8_t limits[16];
  for (uint32_t x = 0; x < 16; ++x) limits[x] = static_cast<uint8_t>(Threshold(x, y) - 1);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(limits));
}

__m128i InkOfLevels(const uint8_t* gray, __m128i limit) {
  const __m128i level = Load(gray);
  return InkBits(_mm_cmpeq_epi8(_mm_max_epu8(level, limit), limit));
}

// Gray levels into 1-bit row bytes, 64 pixels a step (SSE2, which every x64
// processor has); answers whether the row has ink.
bool DitherRow(const uint8_t* gray, uint32_t width, uint32_t y, uint8_t* bits) {
  const __m128i limit = LevelLimits(y);
  __m128i inked = _mm_setzero_si128();
  uint32_t x = 0;
  for (; x + 64 <= width; x += 64) {
    StoreInk(InkBytes(InkOfLevels(gray + x, limit), InkOfLevels(gray + x + 16, limit),
                      InkOfLevels(gray + x + 32, limit), InkOfLevels(gray + x + 48, limit)),
             bits + x / 8, inked);
  }
  DitherFrom(gray, x, width, y, bits);
  return AnyInk(inked) || InkFrom(bits, x / 8, (size_t{width} + 7) / 8);
}

// SSSE3's byte shuffle moves bytes within a vector, which SSE2 cannot do in
// one step.
bool CanShuffle() {
  static const bool canShuffle = ProcessorCanShuffle();
  return canShuffle;
}

__attribute__((target("ssse3"))) bool ShuffleExpandRow(const uint8_t* gray, uint32_t width, uint8_t* bgr) {
  const __m128i first = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i second = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
  const __m128i third = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
  __m128i whiteOnly = _mm_set1_epi8(-1);
  uint32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i levels = Load(gray + x);
    whiteOnly = _mm_and_si128(whiteOnly, levels);
    Store(bgr + 3 * x, _mm_shuffle_epi8(levels, first));
    Store(bgr + 3 * x + 16, _mm_shuffle_epi8(levels, second));
    Store(bgr + 3 * x + 32, _mm_shuffle_epi8(levels, third));
  }
  ExpandFrom(gray, x, width, bgr);
  return !AllWhite(whiteOnly) || InkFrom(gray, x, width);
}

// An eighth of 299 r + 587 g + 114 b + 500 for eight pixels, as 16-bit
// numbers, from their red and green (byte pairs) and their blue (each
// followed by a zero byte). Of the sum, 256 (r + 2 g) is a multiple of 8, so
// its eighth is 32 (r + 2 g) + (43 r + 75 g + 114 b + 500) / 8, below 2^15.
__attribute__((target("ssse3"))) __m128i EighthsOfEight(__m128i redGreen, __m128i blue) {
  const __m128i redPlusTwoGreen =
      _mm_maddubs_epi16(redGreen, _mm_setr_epi8(1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2));
  const __m128i rest = _mm_add_epi16(
      _mm_maddubs_epi16(redGreen, _mm_setr_epi8(43, 75, 43, 75, 43, 75, 43, 75, 43, 75, 43, 75, 43, 75, 43, 75)),
      _mm_maddubs_epi16(blue, _mm_setr_epi8(114, 0, 114, 0, 114, 0, 114, 0, 114, 0, 114, 0, 114, 0, 114, 0)));
  return _mm_add_epi16(_mm_slli_epi16(redPlusTwoGreen, 5), _mm_srli_epi16(_mm_add_epi16(rest, _mm_set1_epi16(500)), 3));
}

// The eighths of sixteen pixels in 48 bytes: pixels 0-7 into `low`, 8-15 into `high`.
inline __attribute__((always_inline, target("ssse3"))) void EighthsOfSixteen(const uint8_t* rgb, __m128i& low,
                                                                             __m128i& high) {
  const __m128i a = Load(rgb);
  const __m128i b = Load(rgb + 16);
  const __m128i c = Load(rgb + 32);
  const __m128i redGreenLow0 = _mm_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, 12, 13, 15, -1, -1, -1, -1, -1);
  const __m128i redGreenLow1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 2, 3, 5, 6);
  const __m128i blueLow0 = _mm_setr_epi8(2, -1, 5, -1, 8, -1, 11, -1, 14, -1, -1, -1, -1, -1, -1, -1);
  const __m128i blueLow1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, -1, 4, -1, 7, -1);
  const __m128i redGreenHigh1 = _mm_setr_epi8(8, 9, 11, 12, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i redGreenHigh2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 1, 2, 4, 5, 7, 8, 10, 11, 13, 14);
  const __m128i blueHigh1 = _mm_setr_epi8(10, -1, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i blueHigh2 = _mm_setr_epi8(-1, -1, -1, -1, 0, -1, 3, -1, 6, -1, 9, -1, 12, -1, 15, -1);
  low = EighthsOfEight(_mm_or_si128(_mm_shuffle_epi8(a, redGreenLow0), _mm_shuffle_epi8(b, redGreenLow1)),
                       _mm_or_si128(_mm_shuffle_epi8(a, blueLow0), _mm_shuffle_epi8(b, blueLow1)));
  high = EighthsOfEight(_mm_or_si128(_mm_shuffle_epi8(b, redGreenHigh1), _mm_shuffle_epi8(c, redGreenHigh2)),
                        _mm_or_si128(_mm_shuffle_epi8(b, blueHigh1), _mm_shuffle_epi8(c, blueHigh2)));
}

// The gray of eight pixels from their eighths: for x below 2^15, x / 125 is
// (x * 33555) >> 22 exactly.
__m128i GrayOfEighths(__m128i eighths) {
  return _mm_srli_epi16(_mm_mulhi_epu16(eighths, _mm_set1_epi16(static_cast<short>(33555))), 6);
}

// Sixteen pixels a step; answers whether any gray is below white.
__attribute__((target("ssse3"))) bool ShuffleLumaRow(const uint8_t* rgb, uint32_t width, uint8_t* gray) {
  __m128i whiteOnly = _mm_set1_epi8(-1);
  uint32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    __m128i low, high;
    EighthsOfSixteen(rgb + 3 * x, low, high);
    const __m128i levels = _mm_packus_epi16(GrayOfEighths(low), GrayOfEighths(high));
    whiteOnly = _mm_and_si128(whiteOnly, levels);
    Store(gray + x, levels);
  }
  LumaFrom(rgb, x, width, gray);
  return !AllWhite(whiteOnly) || InkFrom(gray, x, width);
}

// The ink bits of sixteen colour pixels: the gray g = eighths / 125 (rounded
// down) is below the threshold t exactly when the eighths are below 125 t.
__attribute__((target("ssse3"))) __m128i InkOfColours(const uint8_t* rgb, __m128i eighthLimits) {
  __m128i low, high;
  EighthsOfSixteen(rgb, low, high);
  return InkBits(_mm_packs_epi16(_mm_cmpgt_epi16(eighthLimits, low), _mm_cmpgt_epi16(eighthLimits, high)));
}

// Colour pixels into 1-bit row bytes, 64 a step, without their gray levels
// in between; answers how many pixels it made, and whether they have ink.
__attribute__((target("ssse3"))) uint32_t ShuffleDitherColours(const uint8_t* rgb, uint32_t width, uint32_t y,
                                                               uint8_t* bits, bool& ink) {
  alignas(16) int16_t limits[8];
  for (uint32_t x = 0; x < 8; ++x) limits[x] = static_cast<int16_t>(125 * Threshold(x, y));
  const __m128i limit = _mm_load_si128(reinterpret_cast<const __m128i*>(limits));
  __m128i inked = _mm_setzero_si128();
  uint32_t x = 0;
  for (; x + 64 <= width; x += 64) {
    const uint8_t* pixels = rgb + size_t{3} * x;
    StoreInk(InkBytes(InkOfColours(pixels, limit), InkOfColours(pixels + 48, limit), InkOfColours(pixels + 96, limit),
                      InkOfColours(pixels + 144, limit)),
             bits + x / 8, inked);
  }
  ink = AnyInk(inked);
  return x;
}

// The plug-in's own exchange of the first and third byte.
bool ExchangeRow(const uint8_t* rgb, uint32_t width, uint8_t* bgr) {
  ExchangeFirstAndThirdBytes(rgb, bgr, width);
  return HasInk(rgb, size_t{3} * width);
}

bool ExpandRow(const uint8_t* gray, uint32_t width, uint8_t* bgr) {
  if (CanShuffle()) return ShuffleExpandRow(gray, width, bgr);
  ExpandFrom(gray, 0, width, bgr);
  return InkFrom(gray, 0, width);
}

bool LumaRow(const uint8_t* rgb, uint32_t width, uint8_t* gray) {
  if (CanShuffle()) return ShuffleLumaRow(rgb, width, gray);
  LumaFrom(rgb, 0, width, gray);
  return InkFrom(gray, 0, width);
}

bool CopyRow(const uint8_t* gray, uint32_t width, uint8_t* out) {
  std::memcpy(out, gray, width);
  return HasInk(gray, width);
}

// Colour pixels dithered without a gray row of their own: 64 a step where
// the processor can shuffle bytes, and the rest a piece at a time through a
// piece of gray. Steps and pieces start at multiples of 8 pixels, where the
// dither's columns start again.
bool DitherRgbRow(const uint8_t* rgb, uint32_t width, uint32_t y, uint8_t* bits) {
  constexpr uint32_t kPiece = 512;
  bool ink = false;
  uint32_t first = CanShuffle() ? ShuffleDitherColours(rgb, width, y, bits, ink) : 0;
  uint8_t gray[kPiece];
  for (; first < width; first += kPiece) {
    const uint32_t count = std::min(kPiece, width - first);
    LumaRow(rgb + size_t{3} * first, count, gray);
    ink = DitherRow(gray, count, y, bits + first / 8) || ink;
  }
  return ink;
}

// Bytes of a band row that hold its pixels; the rest of the stride is padding.
uint32_t PixelBytes(ColorMode mode, uint32_t width) {
  switch (mode) {
    case ColorMode::kMono:
      return (width + 7) / 8;
    case ColorMode::kGray:
      return width;
    case ColorMode::kColor:
      return 3 * width;
  }
  return 0;
}

void PadRow(ColorMode mode, uint32_t width, uint8_t* out) {
  const uint32_t used = PixelBytes(mode, width);
  std::memset(out + used, kWhite, BandStride(width, FormatOf(mode).bitCount) - used);
}

}  // namespace

bool BandRowFromRgb(ColorMode mode, const uint8_t* rgb, uint32_t width, uint32_t y, uint8_t* out) {
  PadRow(mode, width, out);
  switch (mode) {
    case ColorMode::kColor:
      return ExchangeRow(rgb, width, out);
    case ColorMode::kGray:
      return LumaRow(rgb, width, out);
    case ColorMode::kMono:
      return DitherRgbRow(rgb, width, y, out);
  }
  return false;
}

bool BandRowFromGray(ColorMode mode, const uint8_t* gray, uint32_t width, uint32_t y, uint8_t* out) {
  PadRow(mode, width, out);
  switch (mode) {
    case ColorMode::kColor:
      return ExpandRow(gray, width, out);
    case ColorMode::kGray:
      return CopyRow(gray, width, out);
    case ColorMode::kMono:
      return DitherRow(gray, width, y, out);
  }
  return false;
}

void StartBand(HostBand& band, ColorMode mode, uint32_t width, uint32_t rows, uint32_t dpi) {
  const ModeFormat format = FormatOf(mode);
  const uint32_t stride = BandStride(width, format.bitCount);
  band.header = {};
  band.header.biSize = sizeof(BITMAPINFOHEADER);
  band.header.biWidth = static_cast<LONG>(width);
  band.header.biHeight = static_cast<LONG>(rows);
  band.header.biPlanes = 1;
  band.header.biBitCount = format.bitCount;
  band.header.biCompression = 0;  // BI_RGB
  // Counted in 64 bits; the caller keeps bands small enough for the header.
  const uint64_t size = uint64_t{stride} * rows;
  band.header.biSizeImage = static_cast<DWORD>(size);
  band.header.biXPelsPerMeter = static_cast<LONG>(std::lround(dpi / 0.0254));
  band.header.biYPelsPerMeter = band.header.biXPelsPerMeter;
  band.bits.resize(static_cast<size_t>(size));
  band.blank = true;
}

void BuildBand(const PageSource& page, ColorMode mode, uint32_t top, uint32_t rows, uint32_t dpi, HostBand& band) {
  const uint32_t width = page.width();
  StartBand(band, mode, width, rows, dpi);
  const uint32_t stride = BandStride(width, FormatOf(mode).bitCount);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
  for (uint32_t r = 0; r < rows; ++r) {
    page.Row(top + r, rgb.data());
    if (BandRowFromRgb(mode, rgb.data(), width, top + r, band.bits.data() + static_cast<size_t>(r) * stride)) {
      band.blank = false;
    }
  }
}

}  // namespace kav::host
