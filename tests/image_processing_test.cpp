// The band dispatch and the raw gray and colour records, through the loaded
// render library as the host drives it.
#include <gtest/gtest.h>

#include "band_fixture.h"

namespace kav::test {
namespace {

using ImageProcessingTest = BandTest;

bool HasJpegRecord(const std::vector<Bytes>& writes) {
  return writes.size() == 8 && writes[5] == kJpeg && writes[7].size() > 4 && writes[7][0] == 0xFF &&
         writes[7][1] == 0xD8;
}

TEST_F(ImageProcessingTest, BlankBandsWriteNothingWhateverTheId) {
  for (const DWORD id : {1u, 2u, 3u, 7u}) {
    SCOPED_TRACE(id);
    Band band = id == 1 ? GradientBand(8, 64, 8) : GradientBand(24, 64, 8);
    if (id == 3) {
      band = MakeBand(1, 64, 8);
      band.bits.assign(band.bits.size(), 0x5A);
    }
    band.params.bBlankBand = TRUE;
    SendAndCheck(id, band);
  }
  EXPECT_TRUE(helper().writes().empty());
  if (standins != nullptr) {
    EXPECT_EQ(standins->IdentityReverts(), 0);
    EXPECT_EQ(standins->TempFilesCreated(), 0);
  }
  EXPECT_EQ(pdev().tryJpeg, 1u);
}

TEST_F(ImageProcessingTest, MonochromeBandsNeverSwitchIdentityNorTryJpeg) {
  Band band = MakeBand(1, 64, 8);
  band.bits.assign(band.bits.size(), 0xF0);
  ASSERT_EQ(pdev().tryJpeg, 1u);
  SendAndCheck(3, band);
  if (standins != nullptr) {
    EXPECT_EQ(standins->IdentityReverts(), 0);
    EXPECT_EQ(standins->GdiplusStartups(), 0);
    EXPECT_EQ(standins->TempFilesCreated(), 0);
  }
  EXPECT_EQ(pdev().tryJpeg, 1u);
  for (const Bytes& write : helper().writes()) EXPECT_FALSE(write == kJpeg);
}

TEST_F(ImageProcessingTest, GrayBandIsSentWholeWithItsRowLengthAsWidth) {
  pdev().tryJpeg = 0;
  Band band = GradientBand(8, 1001, 5);
  band.params.ptOffset = {40, 100};
  SendAndCheck(1, band);
  const std::vector<Bytes>& writes = helper().writes();
  ASSERT_EQ(writes.size(), 8u);  // seven header pieces and the whole buffer
  const Bytes header = Concat({writes.begin(), writes.begin() + 7});
  EXPECT_TRUE(SameBytes(header, Hex("43 71 00 00 00 00 42 C8 00 00"                          // "Cq", x 0.0, y 100.0
                                    "3F800000 00000000 00000000 3F800000 00000000 00000000"  // identity
                                    "03 EC 00 05"                                            // 1004 by 5
                                    "01 02 03 01 08 01"                                      // raw gray
                                    "00 00 13 9C")));                                        // 5020 bytes
  EXPECT_TRUE(SameBytes(writes[7], band.bits));
}

TEST_F(ImageProcessingTest, ColorBandGoesRowByRowAsRedGreenBlue) {
  pdev().tryJpeg = 0;
  Band band = GradientBand(24, 1001, 4);
  band.SetRgb(0, 0, 0x11, 0x22, 0x33);
  band.params.ptOffset = {0, 600};
  const std::vector<uint8_t> given = band.bits;
  SendAndCheck(2, band);
  const std::vector<Bytes>& writes = helper().writes();
  ASSERT_EQ(writes.size(), 7u + 4u);
  const Bytes header = Concat({writes.begin(), writes.begin() + 7});
  EXPECT_TRUE(SameBytes(header, Hex("43 71 00 00 00 00 44 16 00 00"                          // y 600.0
                                    "3F800000 00000000 00000000 3F800000 00000000 00000000"  // identity
                                    "03 E9 00 04"                                            // 1001 by 4
                                    "01 02 04 01 08 01"                                      // raw colour
                                    "00 00 2E EC")));                                        // 3003 x 4 bytes
  for (size_t row = 7; row < writes.size(); ++row) EXPECT_EQ(writes[row].size(), 3003u);
  EXPECT_TRUE(SameBytes(Bytes(writes[7].begin(), writes[7].begin() + 3), Hex("11 22 33")));
  const std::vector<Bytes> expected = RawColorRecord(band);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(SameBytes(writes[i], expected[i])) << "write " << i;
  EXPECT_EQ(band.bits, given);
}

TEST_F(ImageProcessingTest, ColorRowsOfEveryWidthKeepEachPixel) {
  pdev().tryJpeg = 0;
  for (const LONG width : {1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 16, 17}) {
    SCOPED_TRACE(width);
    helper().ClearWrites();
    Band band = MakeBand(24, width, 2);
    for (size_t i = 0; i < band.bits.size(); ++i) band.bits[i] = static_cast<uint8_t>(i * 37 + 11);
    SendAndCheck(2, band);
    EXPECT_TRUE(helper().writes() == RawColorRecord(band));
  }
}

// The record's width and height are 16 bits; a gray record's width is the
// band width rounded up to 4. Bands at the limit go out whole, bands past
// it are refused with nothing written and no JPEG attempt begun.
TEST_F(ImageProcessingTest, BandsLargerThanARecordCanSayAreRefused) {
  struct Case {
    int bitCount;
    LONG width;
    LONG height;
    const char* sizeInHeader;  // null: refused
  };
  const Case cases[] = {
      {8, 65532, 2, "FF FC 00 02"}, {8, 65533, 2, nullptr},        {8, 65534, 2, nullptr},
      {8, 4, 65535, "00 04 FF FF"}, {8, 4, 65536, nullptr},        {24, 65535, 1, "FF FF 00 01"},
      {24, 65536, 1, nullptr},      {24, 1, 65535, "00 01 FF FF"}, {24, 1, 65536, nullptr},
  };
  for (const Case& c : cases) {
    for (const DWORD tryJpeg : {0u, 1u}) {
      // A JPEG record's width is the band's own: only sizes past 65535 fail it.
      if (tryJpeg == 1 && c.width <= 65535 && c.height <= 65535) continue;
      SCOPED_TRACE(testing::Message() << c.bitCount << " bits, " << c.width << " by " << c.height << ", tryJpeg "
                                      << tryJpeg);
      ResetStandins();
      helper().ClearWrites();
      pdev().tryJpeg = tryJpeg;
      Band band = GradientBand(c.bitCount, c.width, c.height);
      SendAndCheck(c.bitCount == 8 ? 1 : 2, band);
      const std::vector<Bytes>& writes = helper().writes();
      if (c.sizeInHeader == nullptr) {
        EXPECT_TRUE(writes.empty());
        if (standins != nullptr) {
          EXPECT_EQ(standins->TempFilesCreated(), 0);
          EXPECT_EQ(standins->GdiplusStartups(), 0);
        }
        continue;
      }
      ASSERT_GE(writes.size(), 8u);
      EXPECT_TRUE(SameBytes(Concat({writes[3], writes[4]}), Hex(c.sizeInHeader)));
      EXPECT_TRUE(writes == (c.bitCount == 8 ? RawGrayRecord(band) : RawColorRecord(band)));
    }
  }
}

// Host rows that are not the record's rows: each is cut to the record's row
// length or filled with white to it, so the printer reads height rows of
// the record's width.
TEST_F(ImageProcessingTest, GrayRowsOfAnotherStrideAreSentAsTheRecordsRows) {
  pdev().tryJpeg = 0;
  struct Case {
    const char* what;
    LONG width;
    DWORD sizeImage;
    const char* recordSize;  // width, height, data length
    const char* data;
  };
  const Case cases[] = {
      {"extra fill per row", 12, 32, "00 0C 00 02 00000018",
       "00 01 02 03 04 05 06 07 08 09 0A 0B  10 11 12 13 14 15 16 17 18 19 1A 1B"},
      {"bare pixels with a spare byte", 10, 21, "00 0C 00 02 00000018",
       "00 01 02 03 04 05 06 07 08 09 FF FF  0A 0B 0C 0D 0E 0F 10 11 12 13 FF FF"},
      {"bare pixels, three short", 9, 18, "00 0C 00 02 00000018",
       "00 01 02 03 04 05 06 07 08 FF FF FF  09 0A 0B 0C 0D 0E 0F 10 11 FF FF FF"},
      {"the record's rows and a spare byte", 6, 17, "00 08 00 02 00000010",
       "00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    helper().ClearWrites();
    Band band = MakeBand(8, c.width, 2);
    band.header.biSizeImage = c.sizeImage;
    band.bits.resize(c.sizeImage);
    for (size_t i = 0; i < band.bits.size(); ++i) band.bits[i] = static_cast<uint8_t>(i);
    SendAndCheck(1, band);
    const std::vector<Bytes>& writes = helper().writes();
    ASSERT_GE(writes.size(), 8u);
    const Bytes recordSize = Concat({writes[3], writes[4], writes[6]});
    EXPECT_TRUE(SameBytes(recordSize, Hex(c.recordSize)));
    EXPECT_TRUE(SameBytes(Concat({writes.begin() + 7, writes.end()}), Hex(c.data)));
  }
}

TEST_F(ImageProcessingTest, BandsWithoutReadableRowsWriteNothing) {
  struct Case {
    const char* what;
    int bitCount;
    LONG width;
    LONG height;
    DWORD sizeImage;
  };
  const Case cases[] = {
      {"no rows", 24, 8, 0, 32},
      {"bottom-up height", 24, 8, -4, 128},
      {"no width", 8, 0, 4, 16},
      {"negative width", 8, -8, 4, 32},
      {"colour rows too short", 24, 10, 4, 4 * 30 - 1},
      {"gray rows too short", 8, 10, 4, 4 * 10 - 1},
  };
  for (const Case& c : cases) {
    for (const DWORD tryJpeg : {1u, 0u}) {
      SCOPED_TRACE(testing::Message() << c.what << ", tryJpeg " << tryJpeg);
      Band band = MakeBand(c.bitCount, 1, 1);
      band.header.biWidth = c.width;
      band.header.biHeight = c.height;
      band.header.biSizeImage = c.sizeImage;
      band.bits.assign(c.sizeImage, 0x7F);
      pdev().tryJpeg = tryJpeg;
      SendAndCheck(c.bitCount == 8 ? 1 : 2, band);
      EXPECT_TRUE(helper().writes().empty());
    }
  }
}

TEST_F(ImageProcessingTest, ColorBandWithoutItsRowBufferWritesNothing) {
  if (standins == nullptr) GTEST_SKIP() << "heap failures are injected by the stand-ins";
  pdev().tryJpeg = 0;
  Band band = GradientBand(24, 30, 3);
  standins->FailHeapAlloc({1});
  SendAndCheck(2, band);
  EXPECT_TRUE(helper().writes().empty());
  SendAndCheck(2, band);
  EXPECT_TRUE(helper().writes() == RawColorRecord(band));
}

TEST_F(ImageProcessingTest, OtherIdsWriteOnlyJpegRecords) {
  Band band = GradientBand(24, 40, 8);
  pdev().tryJpeg = 0;
  for (const DWORD id : {0u, 4u, 7u, 250u}) SendAndCheck(id, band);
  EXPECT_TRUE(helper().writes().empty());

  pdev().tryJpeg = 1;
  SendAndCheck(7, band);
  EXPECT_TRUE(HasJpegRecord(helper().writes()));

  // A failed attempt leaves nothing for such an id, and JPEG is off.
  helper().ClearWrites();
  Band wide = MakeBand(32, 40, 8);
  SendAndCheck(7, wide);
  EXPECT_TRUE(helper().writes().empty());
  EXPECT_EQ(pdev().tryJpeg, 0u);
}

TEST_F(ImageProcessingTest, FailedAttemptGoesRawAndTurnsJpegOffUntilTheNextDevice) {
  UseTempFolder(folder / "missing");  // no temporary file can be made there
  Band color = GradientBand(24, 40, 6);
  SendAndCheck(2, color);
  EXPECT_TRUE(helper().writes() == RawColorRecord(color));
  EXPECT_EQ(pdev().tryJpeg, 0u);
  const long reverts = standins != nullptr ? standins->IdentityReverts() : 0;

  // Later bands of the device go raw without an attempt, even where one would work.
  UseTempFolder(folder);
  for (const DWORD id : {2u, 1u}) {
    helper().ClearWrites();
    Band band = GradientBand(id == 1 ? 8 : 24, 40, 6);
    SendAndCheck(id, band);
    EXPECT_TRUE(helper().writes() == (id == 1 ? RawGrayRecord(band) : RawColorRecord(band)));
  }
  if (standins != nullptr) {
    EXPECT_EQ(reverts, 1);
    EXPECT_EQ(standins->IdentityReverts(), reverts);
    EXPECT_EQ(standins->TempFilesCreated(), 0);
  }

  ASSERT_EQ(session.EnableDevice(), S_OK);
  EXPECT_EQ(pdev().tryJpeg, 1u);
  helper().ClearWrites();
  SendAndCheck(2, color);
  EXPECT_TRUE(HasJpegRecord(helper().writes()));
}

TEST_F(ImageProcessingTest, RefusedIdentityChangeSkipsOnlyThatBandsAttempt) {
  if (standins == nullptr) GTEST_SKIP() << "the identity change is made to fail by the stand-ins";
  Band band = GradientBand(24, 40, 6);
  standins->FailRevertToPrinterSelf({1});
  SendAndCheck(2, band);
  EXPECT_TRUE(helper().writes() == RawColorRecord(band));
  EXPECT_EQ(pdev().tryJpeg, 1u);
  EXPECT_EQ(standins->GdiplusStartups(), 0);
  EXPECT_EQ(standins->TempFilesCreated(), 0);

  helper().ClearWrites();
  SendAndCheck(2, band);
  EXPECT_TRUE(HasJpegRecord(helper().writes()));
  EXPECT_EQ(standins->IdentityReverts(), 1);
}

}  // namespace
}  // namespace kav::test
