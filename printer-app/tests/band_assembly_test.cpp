// The band assembly of the printer application: lines of the sheet cut to
// the printable area and gathered into the host's bands, whatever the lines'
// format, width and order.
#include "band_assembly.h"

#include <gtest/gtest.h>

#include <vector>

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
  // Lines of 8 pixels reach only 5 columns of the surface; only line 6 comes.
  BandAssembler assembler(SmallLayout(), ColorMode::kGray, 600, LineFormat::kGray8, 8, 4);
  const std::vector<uint8_t> line(8, 0);
  ASSERT_TRUE(assembler.AddLine(6, line.data(), Collect(bands)));
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
