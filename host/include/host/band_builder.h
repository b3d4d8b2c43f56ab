// The host's bands, made from surface rows as a driver makes them: 1-bit
// bands white where a bit is 1 (ordered dither of the gray), 8-bit gray, and
// 24-bit blue-green-red; rows top-down, each padded with white to a multiple
// of 4 bytes; a band with no ink is flagged blank.
#pragma once

#include <cstdint>
#include <vector>

#include "host/page_source.h"
#include "host/printer_description.h"
#include "platform/win32.h"

namespace kav::host {

struct HostBand {
  BITMAPINFOHEADER header{};
  std::vector<uint8_t> bits;
  bool blank = true;
};

// Bytes of one row of a band `width` pixels wide at `bitCount` bits per pixel.
uint32_t BandStride(uint32_t width, uint32_t bitCount);

// The rows [top, top + rows) of the page in the format of `mode`.
void BuildBand(const PageSource& page, ColorMode mode, uint32_t top, uint32_t rows, uint32_t dpi, HostBand& band);

// The header and size of a band of `rows` rows `width` pixels wide in the
// format of `mode`, flagged blank; its bits are left for the caller to write,
// every row of them (BandRowFromRgb, BandRowFromGray, or all white).
void StartBand(HostBand& band, ColorMode mode, uint32_t width, uint32_t rows, uint32_t dpi);

// Writes one whole band row (BandStride bytes, padding included) in the
// format of `mode` from the `width` pixels of surface row `y`, given in
// red-green-blue or as gray levels (a gray level g is the colour g, g, g);
// answers whether the row has ink. Both give exactly the row BuildBand makes
// of the same pixels.
bool BandRowFromRgb(ColorMode mode, const uint8_t* rgb, uint32_t width, uint32_t y, uint8_t* out);
bool BandRowFromGray(ColorMode mode, const uint8_t* gray, uint32_t width, uint32_t y, uint8_t* out);

// Whether a pixel of gray level `level` at (x, y) is inked in a 1-bit band.
bool InkAt(uint8_t level, uint32_t x, uint32_t y);

}  // namespace kav::host
