#include "band_assembly.h"

#include <algorithm>
#include <cstring>

namespace kav::app {
namespace {

constexpr uint8_t kWhite = 0xFF;

// Black samples as gray levels: 255 - v, which for a byte is ~v, eight bytes a step.
void InvertLevels(const uint8_t* black, uint32_t count, uint8_t* gray) {
  uint32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, black + i, 8);
    word = ~word;
    std::memcpy(gray + i, &word, 8);
  }
  for (; i < count; ++i) gray[i] = static_cast<uint8_t>(~black[i]);
}

// Pixels [first, first + count) of a line of bits (1 is black, first pixel in
// the high bit) as gray levels 0 and 255.
void BitsToLevels(const uint8_t* line, uint32_t first, uint32_t count, uint8_t* gray) {
  for (uint32_t i = 0, x = first; i < count; ++i, ++x) {
    gray[i] = static_cast<uint8_t>(((line[x / 8] >> (7 - x % 8)) & 1) - 1);
  }
}

}  // namespace

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

BandAssembler::BandAssembler(const host::PageLayout& layout, host::ColorMode mode, uint32_t dpi, LineFormat format,
                             uint32_t lineWidth, uint32_t bandHeight)
    : layout_(layout),
      mode_(mode),
      dpi_(dpi),
      format_(format),
      lineWidth_(lineWidth),
      bandHeight_(bandHeight),
      stride_(host::BandStride(layout.surfaceWidth, host::FormatOf(mode).bitCount)),
      inkedRows_(std::min(bandHeight, layout.surfaceHeight)),
      surfaceLine_(size_t{layout.surfaceWidth} * (format == LineFormat::kRgb24 ? 3 : 1)) {
  StartNextBand();
}

uint32_t BandAssembler::RowsAt(uint32_t top) const { return std::min(bandHeight_, layout_.surfaceHeight - top); }

uint8_t* BandAssembler::RowBits(uint32_t row) { return band_.bits.data() + size_t{row} * stride_; }

void BandAssembler::StartNextBand() {
  rowsWritten_ = 0;
  if (bandTop_ < layout_.surfaceHeight) {
    host::StartBand(band_, mode_, layout_.surfaceWidth, RowsAt(bandTop_), dpi_);
  }
}

// Rows no line was given for are paper white.
void BandAssembler::WhiteRowsUpTo(uint32_t end) {
  for (; rowsWritten_ < end; ++rowsWritten_) {
    std::memset(RowBits(rowsWritten_), kWhite, stride_);
    inkedRows_[rowsWritten_] = 0;
  }
}

bool BandAssembler::EmitBand(const BandSink& sink) {
  const uint32_t rows = RowsAt(bandTop_);
  WhiteRowsUpTo(rows);
  band_.blank = std::none_of(inkedRows_.begin(), inkedRows_.begin() + rows, [](uint8_t inked) { return inked; });
  if (!sink(band_, bandTop_)) return false;
  bandTop_ += rows;
  StartNextBand();
  return true;
}

bool BandAssembler::AddLine(uint32_t y, const uint8_t* line, const BandSink& sink) {
  if (y < layout_.offsetY || y - layout_.offsetY >= layout_.surfaceHeight) return true;
  const uint32_t row = y - layout_.offsetY;
  while (row >= bandTop_ + RowsAt(bandTop_)) {
    if (!EmitBand(sink)) return false;
  }
  if (row < bandTop_) return true;
  const uint32_t inBand = row - bandTop_;
  WhiteRowsUpTo(inBand);
  const uint8_t* pixels = SurfacePixels(line);
  const uint32_t width = layout_.surfaceWidth;
  inkedRows_[inBand] = format_ == LineFormat::kRgb24
                           ? host::BandRowFromRgb(mode_, pixels, width, row, RowBits(inBand))
                           : host::BandRowFromGray(mode_, pixels, width, row, RowBits(inBand));
  rowsWritten_ = std::max(rowsWritten_, inBand + 1);
  return true;
}

bool BandAssembler::Finish(const BandSink& sink) {
  while (bandTop_ < layout_.surfaceHeight) {
    if (!EmitBand(sink)) return false;
  }
  return true;
}

// The surface's part of the line, in red-green-blue for colour lines and as
// gray levels for the others; columns the line does not reach are white. A
// line that covers the surface in red-green-blue or gray is used as it is.
const uint8_t* BandAssembler::SurfacePixels(const uint8_t* line) {
  const uint32_t first = layout_.offsetX;
  const uint32_t width = layout_.surfaceWidth;
  const uint32_t reached = first < lineWidth_ ? std::min(width, lineWidth_ - first) : 0;
  const size_t pixelBytes = format_ == LineFormat::kRgb24 ? 3 : 1;
  if (reached == width && format_ == LineFormat::kRgb24) return line + size_t{first} * 3;
  if (reached == width && format_ == LineFormat::kGray8) return line + first;
  uint8_t* out = surfaceLine_.data();
  if (reached > 0) {
    switch (format_) {
      case LineFormat::kBlack1:
        BitsToLevels(line, first, reached, out);
        break;
      case LineFormat::kBlack8:
        InvertLevels(line + first, reached, out);
        break;
      case LineFormat::kGray8:
      case LineFormat::kRgb24:
        std::memcpy(out, line + first * pixelBytes, reached * pixelBytes);
        break;
    }
  }
  std::fill(out + reached * pixelBytes, out + width * pixelBytes, kWhite);
  return out;
}

}  // namespace kav::app
