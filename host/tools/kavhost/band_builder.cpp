#include "kavhost/band_builder.h"

#include <cmath>

namespace kav::tools {
namespace {

// The 8 x 8 ordered-dither matrix.
constexpr uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

}  // namespace

bool InkAt(uint8_t level, uint32_t x, uint32_t y) {
  // Thresholds 2 to 254: black is always ink and white never.
  return level < kBayer[y % 8][x % 8] * 4 + 2;
}

uint32_t BandStride(uint32_t width, uint32_t bitCount) {
  return static_cast<uint32_t>((uint64_t{width} * bitCount + 31) / 32 * 4);
}

void BuildBand(const PageSource& page, ColorMode mode, uint32_t top, uint32_t rows, uint32_t dpi, HostBand& band) {
  const uint32_t width = page.width();
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
  band.bits.assign(static_cast<size_t>(size), 0xFF);  // white, padding included
  band.blank = true;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
  for (uint32_t r = 0; r < rows; ++r) {
    const uint32_t y = top + r;
    page.Row(y, rgb.data());
    uint8_t* out = band.bits.data() + static_cast<size_t>(r) * stride;
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = &rgb[3 * x];
      if (mode == ColorMode::kColor) {
        out[3 * x] = p[2];
        out[3 * x + 1] = p[1];
        out[3 * x + 2] = p[0];
        if (p[0] != 255 || p[1] != 255 || p[2] != 255) band.blank = false;
        continue;
      }
      const uint8_t level = Luma(p[0], p[1], p[2]);
      if (mode == ColorMode::kGray) {
        out[x] = level;
        if (level != 255) band.blank = false;
      } else if (InkAt(level, x, y)) {
        out[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
        band.blank = false;
      }
    }
  }
}

}  // namespace kav::tools
