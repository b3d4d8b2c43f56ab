#include "band_assembly.h"

#include <algorithm>
#include <cstring>

namespace kav::app {

uint64_t LineBytes(LineFormat format, uint32_t width) {
  switch (format) {
    case LineFormat::kBlack1:
      return (uint64_t{width} + 7) / 8;
    case LineFormat::kGray8:
    case LineFormat::kBlack8:
      return width;
    case LineFormat::kRgb24:
      return uint64_t{width} * 3;
  }
  return 0;
}

BandAssembler::BandRows::BandRows(uint32_t width, uint32_t height, uint32_t bandHeight)
    : PageSource(width, height), rows_(size_t{width} * 3 * bandHeight, 0xFF) {}

void BandAssembler::BandRows::Row(uint32_t y, uint8_t* rgb) const {
  const size_t bytes = size_t{width()} * 3;
  std::memcpy(rgb, rows_.data() + (y - top_) * bytes, bytes);
}

uint8_t* BandAssembler::BandRows::Writable(uint32_t y) { return rows_.data() + (y - top_) * size_t{width()} * 3; }

// The next band starts white.
void BandAssembler::BandRows::Restart(uint32_t top) {
  top_ = top;
  std::fill(rows_.begin(), rows_.end(), 0xFF);
}

BandAssembler::BandAssembler(const host::PageLayout& layout, host::ColorMode mode, uint32_t dpi, LineFormat format,
                             uint32_t lineWidth, uint32_t bandHeight)
    : layout_(layout),
      mode_(mode),
      dpi_(dpi),
      format_(format),
      lineWidth_(lineWidth),
      bandHeight_(bandHeight),
      rows_(layout.surfaceWidth, layout.surfaceHeight, bandHeight) {}

uint32_t BandAssembler::RowsAt(uint32_t top) const { return std::min(bandHeight_, layout_.surfaceHeight - top); }

bool BandAssembler::EmitBand(const BandSink& sink) {
  const uint32_t rows = RowsAt(bandTop_);
  host::BuildBand(rows_, mode_, bandTop_, rows, dpi_, band_);
  if (!sink(band_, bandTop_)) return false;
  bandTop_ += rows;
  rows_.Restart(bandTop_);
  return true;
}

bool BandAssembler::AddLine(uint32_t y, const uint8_t* line, const BandSink& sink) {
  if (y < layout_.offsetY || y - layout_.offsetY >= layout_.surfaceHeight) return true;
  const uint32_t row = y - layout_.offsetY;
  while (row >= bandTop_ + RowsAt(bandTop_)) {
    if (!EmitBand(sink)) return false;
  }
  ConvertLine(line, rows_.Writable(row));
  return true;
}

bool BandAssembler::Finish(const BandSink& sink) {
  while (bandTop_ < layout_.surfaceHeight) {
    if (!EmitBand(sink)) return false;
  }
  return true;
}

// The surface's part of the line in red-green-blue; columns the line does
// not reach stay white. The format is chosen once a line, not once a pixel.
void BandAssembler::ConvertLine(const uint8_t* line, uint8_t* rgb) const {
  const uint32_t first = layout_.offsetX;
  if (first >= lineWidth_) return;
  const uint32_t count = std::min(layout_.surfaceWidth, lineWidth_ - first);
  switch (format_) {
    case LineFormat::kBlack1:
      for (uint32_t i = 0, x = first; i < count; ++i, ++x) {
        const uint8_t level = (line[x / 8] & (0x80 >> (x % 8))) != 0 ? 0 : 255;
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = level;
      }
      break;
    case LineFormat::kGray8:
      for (uint32_t i = 0; i < count; ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = line[first + i];
      break;
    case LineFormat::kBlack8:
      for (uint32_t i = 0; i < count; ++i) {
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = static_cast<uint8_t>(255 - line[first + i]);
      }
      break;
    case LineFormat::kRgb24:
      std::memcpy(rgb, line + size_t{first} * 3, size_t{count} * 3);
      break;
  }
}

}  // namespace kav::app
