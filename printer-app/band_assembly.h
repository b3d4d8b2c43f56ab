// The raster lines of one page, as the print server hands them over, cut to
// the printable area of the built-in printer description and gathered into
// the host's bands (the same bands `kavhost print` makes).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/band_builder.h"
#include "host/page_source.h"
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
  // stays paper white); passes on every band finished before it.
  bool AddLine(uint32_t y, const uint8_t* line, const BandSink& sink);
  // Passes on the rest of the page, blank rows included.
  bool Finish(const BandSink& sink);

 private:
  // The rows of the band being gathered, in red-green-blue, as a page source.
  class BandRows final : public host::PageSource {
   public:
    BandRows(uint32_t width, uint32_t height, uint32_t bandHeight);
    void Row(uint32_t y, uint8_t* rgb) const override;
    uint8_t* Writable(uint32_t y);
    void Restart(uint32_t top);

   private:
    std::vector<uint8_t> rows_;
    uint32_t top_ = 0;
  };

  uint32_t RowsAt(uint32_t top) const;
  bool EmitBand(const BandSink& sink);
  void ConvertLine(const uint8_t* line, uint8_t* rgb) const;

  host::PageLayout layout_;
  host::ColorMode mode_;
  uint32_t dpi_;
  LineFormat format_;
  uint32_t lineWidth_;
  uint32_t bandHeight_;
  BandRows rows_;
  uint32_t bandTop_ = 0;
  host::HostBand band_;
};

}  // namespace kav::app
