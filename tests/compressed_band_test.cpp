// 1-bit bands through the loaded library's ImageProcessing with callback 3:
// padding, inversion, compressed or raw data, the record header byte for
// byte, and the bands that are refused.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "kavcmp_decoder.h"
#include "reference_encoder.h"
#include "render_fixture.h"

namespace kav::test {
namespace {

constexpr DWORD kMonochromeCallback = 3;
constexpr size_t kHeaderWrites = 18;

struct HostBand {
  BITMAPINFOHEADER header{};
  Bytes bits;

  uint8_t& At(uint32_t row, uint32_t byte) { return bits[size_t{row} * (header.biSizeImage / header.biHeight) + byte]; }
};

// A band whose rows are `stride` bytes apart, every byte `fill`.
HostBand MonoBand(LONG width, LONG height, DWORD stride, uint8_t fill = 0xFF, WORD bitCount = 1) {
  HostBand band;
  band.header.biSize = sizeof(BITMAPINFOHEADER);
  band.header.biWidth = width;
  band.header.biHeight = height;
  band.header.biPlanes = 1;
  band.header.biBitCount = bitCount;
  band.header.biSizeImage = stride * static_cast<DWORD>(height < 0 ? -height : height);
  band.bits.assign(band.header.biSizeImage, fill);
  return band;
}

void FillRandom(HostBand& band, uint32_t seed) {
  std::mt19937 random(seed);
  for (uint8_t& byte : band.bits) byte = static_cast<uint8_t>(random());
}

// The rows as the printer is to get them: `paddedWidth` pixels, the host's
// pixels inverted and every pixel past its width 1.
Bytes PrinterRows(const HostBand& band, uint32_t paddedWidth) {
  const uint32_t rowBytes = paddedWidth / 8;
  const auto rows = static_cast<uint32_t>(band.header.biHeight);
  const uint32_t stride = band.header.biSizeImage / rows;
  Bytes out(size_t{rows} * rowBytes, 0);
  for (uint32_t y = 0; y < rows; ++y) {
    for (uint32_t x = 0; x < paddedWidth; ++x) {
      const bool hostBit =
          x < static_cast<uint32_t>(band.header.biWidth) && (band.bits[size_t{y} * stride + x / 8] >> (7 - x % 8)) & 1;
      if (!hostBit) out[size_t{y} * rowBytes + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return out;
}

class CompressedBandTest : public RenderTest {
 protected:
  // Sends the band with callback 3; the result must be S_OK and 1 whatever happens.
  void Send(HostBand& band, LONG x = 0, LONG y = 0) {
    IPPARAMS params{};
    params.dwSize = sizeof(IPPARAMS);
    params.ptOffset = {x, y};
    const host::BandResult result = session.Band(kMonochromeCallback, band.header, band.bits.data(), params);
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.result, reinterpret_cast<PBYTE>(1));
  }

  // The record sent: 18 header writes, then the data in one write.
  struct Record {
    Bytes header;
    Bytes data;
    uint16_t width() const { return static_cast<uint16_t>(header[34] << 8 | header[35]); }
    uint16_t height() const { return static_cast<uint16_t>(header[36] << 8 | header[37]); }
    uint8_t compression() const { return header[43]; }
    uint32_t dataLength() const {
      return uint32_t{header[44]} << 24 | uint32_t{header[45]} << 16 | uint32_t{header[46]} << 8 | header[47];
    }
  };
  Record SentRecord() {
    const std::vector<Bytes>& writes = helper().writes();
    Record record;
    EXPECT_EQ(writes.size(), kHeaderWrites + 1);
    if (writes.size() != kHeaderWrites + 1) return record;
    for (size_t i = 0; i < kHeaderWrites; ++i)
      record.header.insert(record.header.end(), writes[i].begin(), writes[i].end());
    record.data = writes[kHeaderWrites];
    EXPECT_EQ(record.header.size(), 48u);
    EXPECT_EQ(record.data.size(), record.dataLength());
    return record;
  }

  // The rows the record carries, decoded when compressed.
  Bytes RecordRows(const Record& record) {
    if (record.compression() == 1) return record.data;
    EXPECT_EQ(record.compression(), 7);
    std::vector<uint8_t> rows;
    const StreamDecodeResult result =
        DecodeRowStream(record.data.data(), record.data.size(), record.width() / 8u, record.height(), rows);
    EXPECT_TRUE(result.ok) << result.error;
    return rows;
  }
};

TEST_F(CompressedBandTest, HeaderFieldsAreWrittenOneByOneAndTheDataInOnePiece) {
  // All rows blank after inversion: 300 rows are two blank runs.
  HostBand band = MonoBand(256, 300, 32, 0xFF);
  Send(band, 100, 600);
  const std::vector<Bytes>& writes = helper().writes();
  const std::vector<Bytes> expected = {
      Hex("43 71"),                                                // signature
      Hex("42 C8 00 00"),                                          // originX 100.0
      Hex("44 16 00 00"),                                          // originY 600.0
      Hex("3F 80 00 00"), Hex("00 00 00 00"), Hex("00 00 00 00"),  // transform
      Hex("3F 80 00 00"), Hex("00 00 00 00"), Hex("00 00 00 00"),  //
      Hex("01 00"),                                                // width 256
      Hex("01 2C"),                                                // height 300
      Hex("01"),                                                   // extKind: no extension
      Hex("02"),                                                   // formatKind: format block follows
      Hex("03"),                                                   // colorSpace: one component
      Hex("01"),                                                   // dataLayout
      Hex("01"),                                                   // bitsPerComponent
      Hex("07"),                                                   // compression: row stream
      Hex("00 00 00 04"),                                          // dataLength
      Hex("01 FF 01 2B"),                                          // 256 blank rows, then 44
  };
  ASSERT_EQ(writes.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(SameBytes(writes[i], expected[i])) << "write " << i;
}

TEST_F(CompressedBandTest, NegativeOffsetsAreSentAsFloats) {
  HostBand band = MonoBand(32, 1, 4, 0x00);
  Send(band, -5, -1);
  const Record record = SentRecord();
  EXPECT_TRUE(SameBytes(Bytes(record.header.begin() + 2, record.header.begin() + 10), Hex("C0 A0 00 00 BF 80 00 00")));
}

TEST_F(CompressedBandTest, NarrowBandIsPaddedWithOnesAfterInversion) {
  // Host rows of 216 bytes (the 4-byte multiple), of 213 (exactly the
  // pixels) and of 240 (fill bytes beyond the padded row), with the host's
  // fill bits set, which must not reach the printer.
  for (const DWORD stride : {216u, 213u, 240u}) {
    helper().ClearWrites();
    HostBand band = MonoBand(1700, 6, stride);
    FillRandom(band, stride);
    for (uint32_t y = 0; y < 6; ++y) band.At(y, 212) |= 0x0F;  // pixels 1700 to 1703 of the last byte
    Send(band);
    const Record record = SentRecord();
    EXPECT_EQ(record.width(), 1728) << stride;
    EXPECT_EQ(record.height(), 6) << stride;
    const Bytes rows = RecordRows(record);
    EXPECT_TRUE(SameBytes(rows, PrinterRows(band, 1728))) << "rows " << stride << " bytes apart";
    for (uint32_t y = 0; y < 6 && rows.size() == 6 * 216u; ++y) {
      EXPECT_EQ(rows[y * 216u + 212] & 0x0F, 0x0F) << "row " << y;
      EXPECT_TRUE(SameBytes(Bytes(rows.begin() + y * 216 + 213, rows.begin() + y * 216 + 216), Hex("FF FF FF")));
    }
  }
}

TEST_F(CompressedBandTest, BandOfWholeUnitsKeepsItsRows) {
  HostBand band = MonoBand(1024, 40, 128, 0xFF);
  for (uint32_t y = 0; y < 40; y += 3) band.At(y, y) = 0x0F;  // sparse text-like marks
  Send(band);
  const Record record = SentRecord();
  EXPECT_EQ(record.width(), 1024);
  EXPECT_EQ(record.compression(), 7);
  EXPECT_TRUE(SameBytes(RecordRows(record), PrinterRows(band, 1024)));
  EXPECT_TRUE(SameBytes(record.data, ReferenceEncode(PrinterRows(band, 1024).data(), 1024, 40, 128)));
}

TEST_F(CompressedBandTest, RandomBitsGoRaw) {
  HostBand band = MonoBand(1700, 20, 216);
  FillRandom(band, 5);
  Send(band);
  const Record record = SentRecord();
  EXPECT_EQ(record.compression(), 1);
  EXPECT_EQ(record.dataLength(), 20u * 216u);
  EXPECT_TRUE(SameBytes(record.data, PrinterRows(band, 1728)));
}

TEST_F(CompressedBandTest, StreamAsLongAsTheRowsIsStillSentCompressed) {
  // 80 00 00 00 codes to 3 bytes, 81 00 00 01 after it to 5: 8, the rows' size.
  HostBand band = MonoBand(32, 2, 4);
  band.bits = Hex("7FFFFFFF 7EFFFFFE");
  Send(band);
  const Record record = SentRecord();
  EXPECT_EQ(record.compression(), 7);
  EXPECT_TRUE(SameBytes(record.data, Hex("02 00 80 04 00 81 02 01")));
}

TEST_F(CompressedBandTest, RowsAllAlikeAreOneChangedRowAndRepeats) {
  HostBand band = MonoBand(64, 50, 8);
  for (uint32_t y = 0; y < 50; ++y) band.At(y, 2) = 0x00;
  Send(band);
  const Record record = SentRecord();
  EXPECT_EQ(record.compression(), 7);
  EXPECT_TRUE(SameBytes(record.data, Concat({Hex("02 02 FF"), Bytes(49, 0x00)})));
}

TEST_F(CompressedBandTest, BandsOfOtherDepthsAreDropped) {
  for (const WORD bitCount : {WORD{8}, WORD{24}}) {
    HostBand band = MonoBand(64, 4, 64 * bitCount / 8, 0x55, bitCount);
    Send(band);
    EXPECT_TRUE(helper().writes().empty()) << bitCount << "-bit";
  }
}

// Bands the record cannot describe, or whose buffer is short of its rows,
// are dropped whole.
TEST_F(CompressedBandTest, BandsTheRecordCannotCarryAreDropped) {
  struct Case {
    LONG width;
    LONG height;
    DWORD sizeImage;
  };
  const long blocksBefore = standins != nullptr ? standins->LiveGlobalBlocks() : 0;
  for (const Case& c : {Case{0, 4, 16}, Case{-32, 4, 16}, Case{65505, 1, 8192}, Case{70000, 1, 8752}, Case{32, 0, 16},
                        Case{32, -4, 16}, Case{32, 65536, 4 * 65536}, Case{1700, 4, 4 * 212}, Case{32, 4, 0}}) {
    HostBand band = MonoBand(32, 1, c.sizeImage == 0 ? 4 : c.sizeImage, 0x00);
    band.header.biWidth = c.width;
    band.header.biHeight = c.height;
    band.header.biSizeImage = c.sizeImage;
    Send(band);
    EXPECT_TRUE(helper().writes().empty()) << c.width << " x " << c.height << ", " << c.sizeImage << " bytes";
  }
  // The widest band that still fits is sent.
  HostBand widest = MonoBand(65504, 2, 8188, 0x00);
  Send(widest);
  const Record record = SentRecord();
  EXPECT_EQ(record.width(), 65504);
  if (standins != nullptr) {
    EXPECT_EQ(standins->LiveGlobalBlocks(), blocksBefore);
  }
}

TEST_F(CompressedBandTest, BandIsDroppedWithoutItsBlockAndSentRawWithoutTheCodec) {
  if (standins == nullptr) GTEST_SKIP() << "allocation failures are injected by the Linux stand-ins only";
  const long blocksBefore = standins->LiveGlobalBlocks();
  HostBand band = MonoBand(64, 3, 8, 0xFF);
  band.At(1, 0) = 0x00;
  standins->FailGlobalAlloc({1, false});
  Send(band);
  EXPECT_TRUE(helper().writes().empty());
  // Every allocation the codec makes, failing in turn, leaves the raw record.
  for (unsigned nth = 2;; ++nth) {
    helper().ClearWrites();
    standins->FailGlobalAlloc({nth, false});
    Send(band);
    const Record record = SentRecord();
    EXPECT_TRUE(SameBytes(RecordRows(record), PrinterRows(band, 64))) << "allocation " << nth;
    if (record.compression() == 7) break;
    ASSERT_LT(nth, 12u) << "the band never goes compressed";
    EXPECT_TRUE(SameBytes(record.data, PrinterRows(band, 64)));
  }
  EXPECT_EQ(standins->LiveGlobalBlocks(), blocksBefore);
}

}  // namespace
}  // namespace kav::test
