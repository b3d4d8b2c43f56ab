// Gray and colour bands as JPEG records, through the loaded render library:
// the record, the JPEG it carries as the platform decodes it, and every way
// the attempt can fail, each of which leaves nothing in the job and sends the
// band raw.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "band_fixture.h"
#include "jpeg_image.h"

namespace kav::test {
namespace {

using JpegBandTest = BandTest;

// The JPEG of a record of eight writes whose header matches the band.
Bytes JpegOfRecord(const std::vector<Bytes>& writes, const Band& band) {
  EXPECT_EQ(writes.size(), 8u);
  if (writes.size() != 8) return {};
  const std::vector<Bytes> header =
      ShortHeader(static_cast<float>(band.params.ptOffset.y), static_cast<uint16_t>(band.header.biWidth),
                  static_cast<uint16_t>(band.header.biHeight), kJpeg, static_cast<uint32_t>(writes[7].size()));
  for (size_t i = 0; i < header.size(); ++i) EXPECT_TRUE(SameBytes(writes[i], header[i])) << "header piece " << i;
  return writes[7];
}

// Mean of |decoded - given| over every channel of every pixel. A colour
// JPEG carries the host's bytes in the host's order: blue in its first
// component, red in its third, which is the order the printer reads.
double MeanError(const RgbImage& image, const Band& band) {
  double sum = 0;
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = band.bits.data() + static_cast<size_t>(y) * band.stride();
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* got = image.Pixel(x, y);
      for (int c = 0; c < 3; ++c) {
        const int want = band.header.biBitCount == 8 ? row[x] : row[3 * x + c];
        sum += std::abs(got[c] - want);
      }
    }
  }
  return sum / (3.0 * image.width * image.height);
}

TEST_F(JpegBandTest, ColorBandBecomesARecordOfTheWholeJpeg) {
  Band band = GradientBand(24, 1001, 48);
  band.params.ptOffset = {0, 600};
  const std::vector<uint8_t> given = band.bits;
  SendAndCheck(2, band);
  const Bytes jpeg = JpegOfRecord(helper().writes(), band);
  JpegFrame frame;
  ASSERT_TRUE(ParseJpegFrame(jpeg, frame));
  EXPECT_EQ(frame.width, 1001);
  EXPECT_EQ(frame.height, 48);
  EXPECT_EQ(frame.components, 3);
  EXPECT_TRUE(frame.baseline);
  RgbImage image;
  ASSERT_TRUE(DecodeJpeg(jpeg, image));
  ASSERT_EQ(image.width, 1001);
  ASSERT_EQ(image.height, 48);
  EXPECT_LT(MeanError(image, band), 3.0);  // smooth gradients survive within 3 levels on average
  EXPECT_EQ(band.bits, given);
  if (standins != nullptr) {
    EXPECT_EQ(standins->LastJpegQuality(), 83);
    EXPECT_EQ(standins->TempFilesCreated(), 1);
  }
}

// Pure red, green and blue columns: a plain decoder finds the host's red in
// the third component and its blue in the first, green untouched.
TEST_F(JpegBandTest, ColorJpegCarriesTheHostsRedInItsThirdComponent) {
  Band band = MakeBand(24, 96, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 96; ++x) band.SetRgb(x, y, x < 32 ? 255 : 0, x >= 32 && x < 64 ? 255 : 0, x >= 64 ? 255 : 0);
  }
  const std::vector<uint8_t> given = band.bits;
  SendAndCheck(2, band);
  EXPECT_EQ(band.bits, given);
  RgbImage image;
  ASSERT_TRUE(DecodeJpeg(JpegOfRecord(helper().writes(), band), image));
  ASSERT_EQ(image.width, 96);
  struct Probe {
    int x;
    int first, second, third;
  };
  for (const Probe& p : {Probe{16, 0, 0, 255}, Probe{48, 0, 255, 0}, Probe{80, 255, 0, 0}}) {
    const uint8_t* got = image.Pixel(p.x, 16);
    SCOPED_TRACE(testing::Message() << "column " << p.x << " decodes to " << int{got[0]} << ", " << int{got[1]} << ", "
                                    << int{got[2]});
    EXPECT_NEAR(got[0], p.first, 24);
    EXPECT_NEAR(got[1], p.second, 24);
    EXPECT_NEAR(got[2], p.third, 24);
  }
}

// Rows 15 bytes apart, which GDI+ refuses for a bitmap: the attempt fails
// after the band was handed over exchanged, on every platform, and the raw
// record that follows still carries red, green, blue.
TEST_F(JpegBandTest, FailedColorAttemptLeavesTheHostsBandAsGiven) {
  Band band = GradientBand(24, 5, 4);
  band.header.biSizeImage = 15 * 4;
  std::vector<uint8_t> packed;
  for (LONG y = 0; y < 4; ++y) {
    const auto row = band.bits.begin() + static_cast<ptrdiff_t>(y) * 16;
    packed.insert(packed.end(), row, row + 15);
  }
  band.bits = packed;
  const std::vector<uint8_t> given = band.bits;
  SendAndCheck(2, band);
  EXPECT_EQ(band.bits, given);
  EXPECT_TRUE(helper().writes() == RawColorRecord(band));
  EXPECT_EQ(pdev().tryJpeg, 0u);
}

TEST_F(JpegBandTest, GrayBandGoesThroughTheGrayPaletteAtItsOwnWidth) {
  Band band = GradientBand(8, 1001, 32);
  band.params.ptOffset = {0, 100};
  SendAndCheck(1, band);
  const Bytes jpeg = JpegOfRecord(helper().writes(), band);  // width 1001, not the row length 1004
  JpegFrame frame;
  ASSERT_TRUE(ParseJpegFrame(jpeg, frame));
  EXPECT_EQ(frame.width, 1001);
  EXPECT_EQ(frame.height, 32);
  EXPECT_EQ(frame.components, 3);  // GDI+ writes indexed bitmaps in colour
  RgbImage image;
  ASSERT_TRUE(DecodeJpeg(jpeg, image));
  ASSERT_EQ(image.width, 1001);
  EXPECT_LT(MeanError(image, band), 3.0);
  // Entry 0 is black and entry 255 white; every pixel is gray.
  EXPECT_LE(image.Pixel(0, 16)[0], 8);
  EXPECT_GE(image.Pixel(1000, 16)[0], 247);
  for (int x = 0; x < 1001; x += 50) {
    const uint8_t* got = image.Pixel(x, 16);
    EXPECT_NEAR(got[0], got[1], 4) << "column " << x;
    EXPECT_NEAR(got[2], got[1], 4) << "column " << x;
  }
}

struct FailureRow {
  const char* what;
  std::function<void(const standin::Controls& standins, int bitCount)> arm;
  bool grayOnly = false;
};

// Every step of the attempt made to fail in turn. The heap blocks of an
// attempt come in this order: the palette (8-bit), the encoder list, the
// file buffer.
const FailureRow kFailures[] = {
    {"no temporary folder", [](const standin::Controls& standins, int) { standins.FailTempPath({1}); }},
    {"no temporary file name", [](const standin::Controls& standins, int) { standins.FailTempFileName({1}); }},
    {"no GDI+ on the system", [](const standin::Controls& standins, int) { standins.HideGdiplus(true); }},
    {"GDI+ start-up refused", [](const standin::Controls& standins, int) { standins.FailGdiplusStartup({1}); }},
    {"no memory for the palette", [](const standin::Controls& standins, int) { standins.FailHeapAlloc({1}); }, true},
    {"palette refused", [](const standin::Controls& standins, int) { standins.FailSetPalette({1}); }, true},
    {"no encoder at all",
     [](const standin::Controls& standins, int) { standins.SetEncoderList(standin::EncoderList::kEmpty); }},
    {"no memory for the encoder list",
     [](const standin::Controls& standins, int bits) { standins.FailHeapAlloc({bits == 8 ? 2u : 1u}); }},
    {"encoder list refused",
     [](const standin::Controls& standins, int) { standins.SetEncoderList(standin::EncoderList::kListingFails); }},
    {"no encoder named exactly image/jpeg",
     [](const standin::Controls& standins, int) { standins.SetEncoderList(standin::EncoderList::kWithoutJpeg); }},
    {"save refused", [](const standin::Controls& standins, int) { standins.FailSaveImage({1}); }},
    {"file cannot be opened", [](const standin::Controls& standins, int) { standins.FailFileOpen({1}); }},
    {"no memory for the file buffer",
     [](const standin::Controls& standins, int bits) { standins.FailHeapAlloc({bits == 8 ? 3u : 2u}); }},
    {"file cannot be read", [](const standin::Controls& standins, int) { standins.FailFileRead({1}); }},
};

TEST_F(JpegBandTest, EveryFailedStepLeavesNothingInTheJobAndTheBandGoesRaw) {
  if (standins == nullptr) GTEST_SKIP() << "the steps are made to fail by the stand-ins";
  for (const FailureRow& row : kFailures) {
    for (const int bitCount : {8, 24}) {
      if (row.grayOnly && bitCount != 8) continue;
      SCOPED_TRACE(testing::Message() << row.what << ", " << bitCount << "-bit band");
      standins->Reset();
      ASSERT_EQ(session.EnableDevice(), S_OK);
      heapBlocksBefore = standins->LiveHeapBlocks();
      helper().ClearWrites();
      Band band = GradientBand(bitCount, 40, 6);
      const std::vector<uint8_t> given = band.bits;
      row.arm(*standins, bitCount);
      SendAndCheck(bitCount == 8 ? 1 : 2, band);
      // The job holds the raw record alone, with the host's true colours.
      EXPECT_TRUE(helper().writes() == (bitCount == 8 ? RawGrayRecord(band) : RawColorRecord(band)));
      EXPECT_EQ(band.bits, given);
      EXPECT_EQ(pdev().tryJpeg, 0u);
    }
  }
}

TEST_F(JpegBandTest, FailedDeleteStillLeavesTheWholeRecord) {
  if (standins == nullptr) GTEST_SKIP() << "the delete is made to fail by the stand-ins";
  standins->FailFileDelete({1});
  Band band = GradientBand(24, 40, 6);
  const host::BandResult result = Send(2, band);
  EXPECT_EQ(result.hr, S_OK);
  const Bytes jpeg = JpegOfRecord(helper().writes(), band);
  JpegFrame frame;
  EXPECT_TRUE(ParseJpegFrame(jpeg, frame));
  EXPECT_EQ(pdev().tryJpeg, 1u);
  EXPECT_EQ(TempFilesInFolder(), 1u);  // nothing more can be done about it
  EXPECT_EQ(standins->GdiplusStartups(), standins->GdiplusShutdowns());
  EXPECT_EQ(standins->IdentityReverts(), standins->IdentityImpersonations());
  EXPECT_EQ(standins->LiveFileHandles(), 0);
  EXPECT_EQ(standins->LiveHeapBlocks(), heapBlocksBefore);
}

TEST_F(JpegBandTest, BitCountsOtherThan8And24AreNotTried) {
  for (const int bitCount : {1, 4, 16, 32}) {
    SCOPED_TRACE(bitCount);
    pdev().tryJpeg = 1;
    helper().ClearWrites();
    Band band = MakeBand(bitCount, 40, 6);
    SendAndCheck(7, band);
    EXPECT_TRUE(helper().writes().empty());
    EXPECT_EQ(pdev().tryJpeg, 0u);
  }
  if (standins != nullptr) {
    EXPECT_EQ(standins->GdiplusStartups(), 0);
  }
}

}  // namespace
}  // namespace kav::test
