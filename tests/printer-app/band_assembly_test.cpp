// The band assembly of the printer application: lines of the sheet cut to
// the printable area and gathered into the host's bands, whatever the lines'
// format, width and order.
#include "band_assembly.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "host/luma.h"

namespace kav::app {
namespace {

using host::ColorMode;
using host::HostBand;
using host::PageLayout;

// A sheet of 20 x 14 pixels whose printable area is 12 x 6 at (3, 4).
PageLayout SmallLayout() {
  PageLayout layout;
  layout.sheetWidth = 20;
  layout.sheetLength = 14;
  layout.offsetX = 3;
  layout.offsetY = 4;
  layout.surfaceWidth = 12;
  layout.surfaceHeight = 6;
  return layout;
}

// The byte of a band row that holds pixel x.
uint32_t PixelByte(ColorMode mode, uint32_t x) { return mode == ColorMode::kMono ? x / 8 : x; }

struct Received {
  uint32_t top;
  HostBand band;
};

BandSink Collect(std::vector<Received>& bands) {
  return [&bands](HostBand& band, uint32_t top) {
    bands.push_back({top, band});
    return true;
  };
}

// Gray level of surface pixel (x, y) of an 8-bit gray band list.
uint8_t GrayAt(const std::vector<Received>& bands, uint32_t x, uint32_t y) {
  for (const Received& received : bands) {
    const uint32_t rows = static_cast<uint32_t>(received.band.header.biHeight);
    if (y >= received.top && y < received.top + rows) {
      const uint32_t stride = host::BandStride(static_cast<uint32_t>(received.band.header.biWidth), 8);
      return received.band.bits[(y - received.top) * stride + x];
    }
  }
  ADD_FAILURE() << "row " << y << " in no band";
  return 0;
}

TEST(BandAssembly, CutsThePrintableAreaIntoBandsOfTheSurface) {
  std::vector<Received> bands;
  BandAssembler assembler(SmallLayout(), ColorMode::kGray, 600, LineFormat::kGray8, 20, 4);
  std::vector<uint8_t> line(20);
  for (uint32_t y = 0; y < 14; ++y) {
    for (uint32_t x = 0; x < 20; ++x) line[x] = static_cast<uint8_t>(y * 20 + x);
    ASSERT_TRUE(assembler.AddLine(y, line.data(), Collect(bands)));
  }
  ASSERT_TRUE(assembler.Finish(Collect(bands)));
  ASSERT_EQ(bands.size(), 2u);
  EXPECT_EQ(bands[0].top, 0u);
  EXPECT_EQ(bands[0].band.header.biHeight, 4);
  EXPECT_EQ(bands[1].top, 4u);
  EXPECT_EQ(bands[1].band.header.biHeight, 2);
  EXPECT_EQ(bands[0].band.header.biWidth, 12);
  for (uint32_t y = 0; y < 6; ++y) {
    for (uint32_t x = 0; x < 12; ++x) EXPECT_EQ(GrayAt(bands, x, y), (y + 4) * 20 + x + 3) << x << "," << y;
  }
}

TEST(BandAssembly, LinesNeverGivenAndColumnsNotReachedStayWhite) {
  std::vector<Received> bands;
  // Lines of 8 pixels reach only 5 columns of the surface; only line 6 comes
  // with ink, and line 5 once its band has gone, too late to count.
  BandAssembler assembler(SmallLayout(), ColorMode::kGray, 600, LineFormat::kGray8, 8, 4);
  const std::vector<uint8_t> line(8, 0);
  const std::vector<uint8_t> white(8, 255);
  ASSERT_TRUE(assembler.AddLine(6, line.data(), Collect(bands)));
  ASSERT_TRUE(assembler.AddLine(8, white.data(), Collect(bands)));
  ASSERT_TRUE(assembler.AddLine(5, line.data(), Collect(bands)));
  ASSERT_TRUE(assembler.Finish(Collect(bands)));
  ASSERT_EQ(bands.size(), 2u);
  for (uint32_t y = 0; y < 6; ++y) {
    for (uint32_t x = 0; x < 12; ++x) {
      EXPECT_EQ(GrayAt(bands, x, y), y == 2 && x < 5 ? 0 : 255) << x << "," << y;
    }
  }
  EXPECT_FALSE(bands[0].band.blank);
  EXPECT_TRUE(bands[1].band.blank);
}

TEST(BandAssembly, ReadsEveryLineFormat) {
  struct Case {
    LineFormat format;
    std::vector<uint8_t> line;  // 16 pixels; pixel 3 is black, the rest white
  };
  const std::vector<Case> cases = {
      {LineFormat::kBlack1, {0x10, 0x00}},
      {LineFormat::kGray8, {255, 255, 255, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}},
      {LineFormat::kBlack8, {0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    std::vector<Received> bands;
    BandAssembler assembler(SmallLayout(), ColorMode::kGray, 600, c.format, 16, 8);
    for (uint32_t y = 0; y < 14; ++y) ASSERT_TRUE(assembler.AddLine(y, c.line.data(), Collect(bands)));
    ASSERT_TRUE(assembler.Finish(Collect(bands)));
    for (uint32_t x = 0; x < 12; ++x) {
      EXPECT_EQ(GrayAt(bands, x, 0), x == 0 ? 0 : 255) << "format " << static_cast<int>(c.format) << " x " << x;
    }
  }
  std::vector<Received> bands;
  BandAssembler colour(SmallLayout(), ColorMode::kColor, 600, LineFormat::kRgb24, 4, 8);
  const uint8_t rgb[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 20, 30};
  ASSERT_TRUE(colour.AddLine(4, rgb, Collect(bands)));
  ASSERT_TRUE(colour.Finish(Collect(bands)));
  ASSERT_EQ(bands.size(), 1u);
  const std::vector<uint8_t>& bits = bands[0].band.bits;
  EXPECT_EQ(bits[0], 30);  // blue, green, red
  EXPECT_EQ(bits[1], 20);
  EXPECT_EQ(bits[2], 10);
  EXPECT_EQ(bits[3], 255);
}

// The colour of pixel x of a line, read one pixel at a time.
std::array<uint8_t, 3> ColourAt(LineFormat format, const std::vector<uint8_t>& line, uint32_t x) {
  switch (format) {
    case LineFormat::kBlack1: {
      const uint8_t level = (line[x / 8] & (0x80 >> (x % 8))) != 0 ? 0 : 255;
      return {level, level, level};
    }
    case LineFormat::kGray8:
      return {line[x], line[x], line[x]};
    case LineFormat::kBlack8: {
      const auto level = static_cast<uint8_t>(255 - line[x]);
      return {level, level, level};
    }
    case LineFormat::kRgb24:
      return {line[3 * x], line[3 * x + 1], line[3 * x + 2]};
  }
  return {};
}

// The band rows the host makes, pixel by pixel: blue-green-red, the luma,
// or the luma dithered; rows never given and columns the lines do not reach
// are white, and so is every row's padding.
HostBand ExpectedBand(const PageLayout& layout, ColorMode mode, LineFormat format, uint32_t lineWidth,
                      const std::vector<std::vector<uint8_t>>& lines, uint32_t top, uint32_t rows) {
  const uint32_t bitCount = host::FormatOf(mode).bitCount;
  const uint32_t stride = host::BandStride(layout.surfaceWidth, bitCount);
  HostBand band;
  band.bits.assign(size_t{stride} * rows, 0xFF);
  for (uint32_t r = 0; r < rows; ++r) {
    const std::vector<uint8_t>& line = lines[layout.offsetY + top + r];
    for (uint32_t x = 0; x < layout.surfaceWidth && !line.empty(); ++x) {
      const uint32_t column = layout.offsetX + x;
      const std::array<uint8_t, 3> rgb =
          column < lineWidth ? ColourAt(format, line, column) : std::array<uint8_t, 3>{255, 255, 255};
      uint8_t* row = band.bits.data() + size_t{r} * stride;
      const uint8_t level = Luma(rgb[0], rgb[1], rgb[2]);
      switch (mode) {
        case ColorMode::kColor:
          row[3 * x] = rgb[2];
          row[3 * x + 1] = rgb[1];
          row[3 * x + 2] = rgb[0];
          break;
        case ColorMode::kGray:
          row[x] = level;
          break;
        case ColorMode::kMono:
          if (host::InkAt(level, x, top + r)) row[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
          break;
      }
      if (mode == ColorMode::kColor ? rgb != std::array<uint8_t, 3>{255, 255, 255} : row[PixelByte(mode, x)] != 0xFF)
        band.blank = false;
    }
  }
  return band;
}

// A line of white pixels, and pixel x of a line made black.
std::vector<uint8_t> WhiteLine(LineFormat format, uint32_t width) {
  const bool black = format == LineFormat::kBlack1 || format == LineFormat::kBlack8;
  return std::vector<uint8_t>(LineBytes(format, width), black ? 0 : 255);
}

void MakeBlack(LineFormat format, std::vector<uint8_t>& line, uint32_t x) {
  switch (format) {
    case LineFormat::kBlack1:
      line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      break;
    case LineFormat::kGray8:
      line[x] = 0;
      break;
    case LineFormat::kBlack8:
      line[x] = 255;
      break;
    case LineFormat::kRgb24:
      line[3 * x] = line[3 * x + 1] = line[3 * x + 2] = 0;
      break;
  }
}

TEST(BandAssembly, EveryLineFormatInEveryModeMakesTheHostsBands) {
  // Wide enough for the vector steps and their leftovers, an odd offset so
  // that bit lines start inside a byte; bands of 8 rows: two of lines of
  // every level (one line never given), two of white lines, one of lines a
  // step from white (in colour: ink in colour only), one whose only ink is
  // the last pixel the lines reach, in one row, and one whose only ink is
  // pixel 1100 of one row, past the widest vector steps.
  PageLayout layout;
  layout.sheetWidth = 1131;
  layout.sheetLength = 61;
  layout.offsetX = 5;
  layout.offsetY = 3;
  layout.surfaceWidth = 1117;
  layout.surfaceHeight = 56;
  uint32_t noise = 2463534242u;
  auto next = [&noise] {
    noise ^= noise << 13;
    noise ^= noise >> 17;
    noise ^= noise << 5;
    return static_cast<uint8_t>(noise);
  };
  for (LineFormat format : {LineFormat::kBlack1, LineFormat::kGray8, LineFormat::kBlack8, LineFormat::kRgb24}) {
    // Lines as long as the sheet, and lines that stop inside the surface.
    for (uint32_t lineWidth : {layout.sheetWidth, 700u}) {
      std::vector<std::vector<uint8_t>> lines(layout.sheetLength);
      for (uint32_t y = 0; y < layout.sheetLength; ++y) {
        const uint32_t row = y - std::min(y, layout.offsetY);
        if (row == 5) continue;  // never given
        std::vector<uint8_t>& line = lines[y] = WhiteLine(format, lineWidth);
        if (row < 16 || row >= layout.surfaceHeight) {
          for (uint8_t& byte : line) byte = next();
        } else if (row >= 32 && row < 40 && format != LineFormat::kBlack1) {
          const bool black = format == LineFormat::kBlack8;
          for (size_t i = 0; i < line.size(); ++i) {
            line[i] = format == LineFormat::kRgb24 ? (i % 3 == 0 ? 254 : 255) : black ? 1 : 254;
          }
        } else if (row == 42) {
          MakeBlack(format, line, std::min(lineWidth, layout.offsetX + layout.surfaceWidth) - 1);
        } else if (row == 50) {
          MakeBlack(format, line, std::min(lineWidth - 1, layout.offsetX + 1100));
        }
      }
      for (ColorMode mode : {ColorMode::kMono, ColorMode::kGray, ColorMode::kColor}) {
        std::vector<Received> bands;
        BandAssembler assembler(layout, mode, 600, format, lineWidth, 8);
        for (uint32_t y = 0; y < layout.sheetLength; ++y) {
          if (!lines[y].empty()) {
            ASSERT_TRUE(assembler.AddLine(y, lines[y].data(), Collect(bands)));
          }
        }
        ASSERT_TRUE(assembler.Finish(Collect(bands)));
        ASSERT_EQ(bands.size(), 7u);
        for (const Received& got : bands) {
          const uint32_t rows = static_cast<uint32_t>(got.band.header.biHeight);
          const HostBand want = ExpectedBand(layout, mode, format, lineWidth, lines, got.top, rows);
          SCOPED_TRACE(testing::Message() << "format " << static_cast<int>(format) << " line " << lineWidth << " mode "
                                          << host::ModeName(mode) << " band at " << got.top);
          EXPECT_EQ(got.band.header.biBitCount, host::FormatOf(mode).bitCount);
          EXPECT_EQ(got.band.header.biSizeImage, want.bits.size());
          EXPECT_TRUE(got.band.bits == want.bits);
          EXPECT_EQ(got.band.blank, want.blank);
        }
        EXPECT_TRUE(bands[2].band.blank);
        EXPECT_TRUE(bands[3].band.blank);
        if (format == LineFormat::kRgb24) {
          EXPECT_EQ(bands[4].band.blank, mode != ColorMode::kColor);
        }
        EXPECT_FALSE(bands[5].band.blank);
        EXPECT_FALSE(bands[6].band.blank);
      }
    }
  }
}

TEST(BandAssembly, TheGrayOfEveryColourIsItsLuma) {
  // 4096 x 4096 pixels: every colour once.
  PageLayout layout;
  layout.sheetWidth = layout.surfaceWidth = 4096;
  layout.sheetLength = layout.surfaceHeight = 4096;
  BandAssembler assembler(layout, ColorMode::kGray, 600, LineFormat::kRgb24, 4096, 128);
  uint64_t wrong = 0;
  const BandSink check = [&wrong](HostBand& band, uint32_t top) {
    for (uint32_t r = 0; r < static_cast<uint32_t>(band.header.biHeight); ++r) {
      for (uint32_t x = 0; x < 4096; ++x) {
        const uint32_t colour = (top + r) * 4096 + x;
        wrong += band.bits[size_t{r} * 4096 + x] != Luma(colour >> 16, (colour >> 8) & 255, colour & 255) ? 1 : 0;
      }
    }
    return true;
  };
  std::vector<uint8_t> line(3 * 4096);
  for (uint32_t y = 0; y < 4096; ++y) {
    for (uint32_t x = 0; x < 4096; ++x) {
      const uint32_t colour = y * 4096 + x;
      line[3 * x] = static_cast<uint8_t>(colour >> 16);
      line[3 * x + 1] = static_cast<uint8_t>(colour >> 8);
      line[3 * x + 2] = static_cast<uint8_t>(colour);
    }
    ASSERT_TRUE(assembler.AddLine(y, line.data(), check));
  }
  ASSERT_TRUE(assembler.Finish(check));
  EXPECT_EQ(wrong, 0u);
}

TEST(BandAssembly, AFailedBandStopsThePage) {
  BandAssembler assembler(SmallLayout(), ColorMode::kMono, 600, LineFormat::kGray8, 20, 2);
  int calls = 0;
  const BandSink refuse = [&calls](HostBand&, uint32_t) {
    ++calls;
    return false;
  };
  const std::vector<uint8_t> line(20, 0);
  for (uint32_t y = 0; y < 6; ++y) ASSERT_TRUE(assembler.AddLine(y, line.data(), refuse));
  EXPECT_FALSE(assembler.AddLine(6, line.data(), refuse));
  EXPECT_FALSE(assembler.Finish(refuse));
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace kav::app
