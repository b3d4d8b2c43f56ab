#include "host/band_builder.h"

#include <cmath>

#include "host/luma.h"

namespace kav::host {
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

namespace {

// Each builds one band row from the row's red, green and blue pixels and
// answers whether it has ink. One loop per mode, so that the mode is not
// looked at once a pixel.
bool ColorRow(const uint8_t* rgb, uint32_t width, uint8_t* out) {
  uint8_t whiteOnly = 0xFF;
  for (uint32_t x = 0; x < width; ++x) {
    const uint8_t red = rgb[3 * x];
    const uint8_t green = rgb[3 * x + 1];
    const uint8_t blue = rgb[3 * x + 2];
    out[3 * x] = blue;
    out[3 * x + 1] = green;
    out[3 * x + 2] = red;
    whiteOnly &= red & green & blue;
  }
  return whiteOnly != 0xFF;
}

bool GrayRow(const uint8_t* rgb, uint32_t width, uint8_t* out) {
  uint8_t whiteOnly = 0xFF;
  for (uint32_t x = 0; x < width; ++x) {
    out[x] = Luma(rgb[3 * x], rgb[3 * x + 1], rgb[3 * x + 2]);
    whiteOnly &= out[x];
  }
  return whiteOnly != 0xFF;
}

// 1 is white; the bits past the row's end stay white.
bool MonoRow(const uint8_t* rgb, uint32_t width, uint32_t y, uint8_t* out) {
  bool ink = false;
  for (uint32_t first = 0; first < width; first += 8) {
    uint8_t byte = 0xFF;
    for (uint32_t bit = 0; bit < 8 && first + bit < width; ++bit) {
      const uint32_t x = first + bit;
      if (InkAt(Luma(rgb[3 * x], rgb[3 * x + 1], rgb[3 * x + 2]), x, y)) byte &= static_cast<uint8_t>(~(0x80 >> bit));
    }
    out[first / 8] = byte;
    ink = ink || byte != 0xFF;
  }
  return ink;
}

}  // namespace

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
    bool ink = false;
    switch (mode) {
      case ColorMode::kColor:
        ink = ColorRow(rgb.data(), width, out);
        break;
      case ColorMode::kGray:
        ink = GrayRow(rgb.data(), width, out);
        break;
      case ColorMode::kMono:
        ink = MonoRow(rgb.data(), width, y, out);
        break;
    }
    if (ink) band.blank = false;
  }
}

}  // namespace kav::host
