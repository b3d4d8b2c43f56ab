// The raster lines of one page, as the print server hands them over, cut to
// the printable area of the built-in printer description and gathered into
// the host's bands (the same bands `kavhost print` makes).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/band_builder.h"
#include "host/printer_description.h"

namespace kav::app {

// How the pixels of an incoming line are stored.
enum class LineFormat {
  kBlack1,  // 1 bit a pixel, 1 is black, first pixel in the high bit
  kGray8,   // 8 bits a pixel, 0 is black
  kBlack8,  // 8 bits a pixel, 255 is black
  kRgb24,   // red, green, blue
};

// Bytes that one line of `width` pixels occupies.
uint64_t LineBytes(LineFormat format, uint32_t width);

// Receives each finished band with the surface row it starts at; false stops the page.
using BandSink = std::function<bool(host::HostBand& band, uint32_t top)>;

class BandAssembler {
 public:
  // Lines are `lineWidth` pixels of the whole sheet; the surface of `layout`
  // starts at column offsetX and line offsetY of them.
  BandAssembler(const host::PageLayout& layout, host::ColorMode mode, uint32_t dpi, LineFormat format,
                uint32_t lineWidth, uint32_t bandHeight);

  // Takes line y of the sheet (lines come top to bottom; a line never given
  // stays paper white, a line given after its band was passed on is
  // dropped); passes on every band finished before it. Each line goes
  // straight into its band row in the band's format.
  bool AddLine(uint32_t y, const uint8_t* line, const BandSink& sink);
  // Passes on the rest of the page, blank rows included.
  bool Finish(const BandSink& sink);

 private:
  uint32_t RowsAt(uint32_t top) const;
  uint8_t* RowBits(uint32_t row);
  void StartNextBand();
  void WhiteRowsUpTo(uint32_t end);
  bool EmitBand(const BandSink& sink);
  const uint8_t* SurfacePixels(const uint8_t* line);

  host::PageLayout layout_;
  host::ColorMode mode_;
  uint32_t dpi_;
  LineFormat format_;
  uint32_t lineWidth_;
  uint32_t bandHeight_;
  uint32_t stride_;
  uint32_t bandTop_ = 0;
  // The band's rows [0, rowsWritten_) hold a line or white; inkedRows_ says
  // which of them have ink.
  uint32_t rowsWritten_ = 0;
  std::vector<uint8_t> inkedRows_;
  // The surface's part of a line when the band rows cannot be made from the
  // line itself: gray levels of black samples or of bits, or a line too
  // short for the surface, filled with white.
  std::vector<uint8_t> surfaceLine_;
  host::HostBand band_;
};

}  // namespace kav::app
