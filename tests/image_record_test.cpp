// The image record writers, linked in directly: the general header writer
// supports parts of the layout that no band producer uses.
#include "render/image_record.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "bytes.h"
#include "host/driver_helper.h"

namespace kav::test {
namespace {

// originY 100.0, 640 by 32 pixels, raw gray, 20480 data bytes.
const Bytes kCommonHeader =
    Hex("43 71 00 00 00 00 42 C8 00 00 3F 80 00 00 00 00 00 00 00 00 00 00 3F 80 00 00 00 00 00 00 00 00 00 00 "
        "02 80 00 20 01 02 03 01 08 01 00 00 50 00");
// Sizes of the general writer's eighteen writes for that header.
const std::vector<size_t> kCommonWriteSizes = {2, 4, 4, 4, 4, 4, 4, 4, 4, 2, 2, 1, 1, 1, 1, 1, 1, 4};

ImageRecordHeader CommonHeader() {
  ImageRecordHeader header{};
  header.originY = 100.0f;
  header.transform[0] = 1.0f;
  header.transform[3] = 1.0f;
  header.width = 640;
  header.height = 32;
  header.extKind = 1;
  header.formatKind = 2;
  header.colorSpace = language::kColorSpaceGray;
  header.dataLayout = 1;
  header.bitsPerComponent = 8;
  header.compression = language::kCompressionNone;
  header.dataLength = 20480;
  return header;
}

std::vector<size_t> Sizes(const std::vector<Bytes>& writes) {
  std::vector<size_t> sizes;
  for (const Bytes& write : writes) sizes.push_back(write.size());
  return sizes;
}

Bytes Splice(const Bytes& bytes, size_t at, const Bytes& inserted) {
  Bytes out(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  out.insert(out.end(), inserted.begin(), inserted.end());
  out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
  return out;
}

class ImageRecordTest : public ::testing::Test {
 protected:
  HRESULT Write(const ImageRecordHeader& header) { return WriteImageRecordHeader({&helper, &devobj}, header); }

  host::DriverHelper helper;  // lives here; nothing takes a reference
  DEVOBJ devobj{};
};

TEST_F(ImageRecordTest, CommonHeaderEqualsTheShortForm) {
  ASSERT_EQ(Write(CommonHeader()), S_OK);
  EXPECT_EQ(Sizes(helper.writes()), kCommonWriteSizes);
  EXPECT_TRUE(SameBytes(helper.Job(), kCommonHeader));

  helper.ClearWrites();
  WriteShortImageRecordHeader({&helper, &devobj}, 100.0f, 640, 32, language::kGrayRawDescriptor, 20480);
  EXPECT_EQ(Sizes(helper.writes()), (std::vector<size_t>{6, 4, 24, 2, 2, 6, 4}));
  EXPECT_TRUE(SameBytes(helper.Job(), kCommonHeader));
}

TEST_F(ImageRecordTest, EachShortFormDescriptorMatchesTheGeneralWriter) {
  const struct {
    const language::FormatDescriptor& descriptor;
    uint8_t colorSpace, compression;
  } cases[] = {{language::kGrayRawDescriptor, language::kColorSpaceGray, language::kCompressionNone},
               {language::kColorRawDescriptor, language::kColorSpaceRgb, language::kCompressionNone},
               {language::kJpegDescriptor, language::kColorSpaceJpeg, language::kCompressionJpeg}};
  for (const auto& c : cases) {
    ImageRecordHeader header = CommonHeader();
    header.originY = -3.5f;
    header.width = 0xFEDC;
    header.height = 0x0102;
    header.colorSpace = c.colorSpace;
    header.compression = c.compression;
    header.dataLength = 0x89ABCDEF;
    helper.ClearWrites();
    ASSERT_EQ(Write(header), S_OK);
    const Bytes general = helper.Job();
    helper.ClearWrites();
    WriteShortImageRecordHeader({&helper, &devobj}, -3.5f, 0xFEDC, 0x0102, c.descriptor, 0x89ABCDEF);
    EXPECT_TRUE(SameBytes(helper.Job(), general)) << int{c.colorSpace};
    EXPECT_EQ(general.size(), 48u);
  }
}

TEST_F(ImageRecordTest, ExtensionAddsFiveBytesBeforeTheFormat) {
  ImageRecordHeader header = CommonHeader();
  header.extKind = 2;
  header.extCode = 0x7E;
  header.extValue = 0x01020304;
  ASSERT_EQ(Write(header), S_OK);
  Bytes want = Splice(kCommonHeader, 39, Hex("7E 01 02 03 04"));
  want[38] = 0x02;
  EXPECT_TRUE(SameBytes(helper.Job(), want));
  EXPECT_EQ(helper.writes().size(), 20u);
  EXPECT_EQ(helper.writes()[12].size(), 1u);
  EXPECT_EQ(helper.writes()[13].size(), 4u);
}

TEST_F(ImageRecordTest, FormatKindOtherThanTwoEndsTheHeader) {
  for (uint8_t formatKind : {uint8_t{0}, uint8_t{1}, uint8_t{3}, uint8_t{0xFF}}) {
    for (uint8_t extKind : {uint8_t{1}, uint8_t{2}}) {
      ImageRecordHeader header = CommonHeader();
      header.extKind = extKind;
      header.extCode = 0x11;
      header.extValue = 0x22334455;
      header.formatKind = formatKind;
      helper.ClearWrites();
      ASSERT_EQ(Write(header), S_OK);
      Bytes want(kCommonHeader.begin(), kCommonHeader.begin() + 40);
      want[38] = extKind;
      want[39] = formatKind;
      if (extKind == 2) want = Splice(want, 39, Hex("11 22 33 44 55"));
      EXPECT_TRUE(SameBytes(helper.Job(), want)) << int{formatKind} << "/" << int{extKind};
      EXPECT_EQ(helper.Job().size(), extKind == 2 ? 45u : 40u);
    }
  }
}

// A table sits between colorSpace and dataLayout: its kind, count and length
// (5 bytes), then its bytes, so the last four fields move on by 5 + length.
TEST_F(ImageRecordTest, ColourSpacesEightToElevenCarryATable) {
  const Bytes table = Hex("AA BB CC");
  for (uint8_t colorSpace = 8; colorSpace <= 11; ++colorSpace) {
    for (uint16_t length : {uint16_t{0}, uint16_t{3}}) {
      ImageRecordHeader header = CommonHeader();
      header.colorSpace = colorSpace;
      header.tableKind = 0x21;
      header.tableCount = 0x0102;
      header.tableLength = length;
      header.tableData = table.data();
      helper.ClearWrites();
      ASSERT_EQ(Write(header), S_OK);
      Bytes inserted = Hex("21 01 02 00");
      inserted.push_back(static_cast<uint8_t>(length));
      inserted.insert(inserted.end(), table.begin(), table.begin() + length);
      Bytes want = Splice(kCommonHeader, 41, inserted);
      want[40] = colorSpace;
      EXPECT_TRUE(SameBytes(helper.Job(), want)) << int{colorSpace} << "/" << length;
      const std::vector<size_t> sizes = Sizes(helper.writes());
      ASSERT_EQ(sizes.size(), 22u);
      EXPECT_EQ((std::vector<size_t>(sizes.begin() + 14, sizes.begin() + 18)), (std::vector<size_t>{1, 2, 2, length}));
    }
  }
  // Neighbouring colour spaces have no table.
  for (uint8_t colorSpace : {uint8_t{7}, uint8_t{12}}) {
    ImageRecordHeader header = CommonHeader();
    header.colorSpace = colorSpace;
    header.tableLength = 3;
    helper.ClearWrites();
    ASSERT_EQ(Write(header), S_OK);
    EXPECT_EQ(helper.Job().size(), 48u) << int{colorSpace};
  }
}

TEST_F(ImageRecordTest, AMissingTableEndsTheHeaderAsAFailedWrite) {
  ImageRecordHeader header = CommonHeader();
  header.colorSpace = 9;
  header.tableLength = 4;
  header.tableData = nullptr;
  EXPECT_EQ(Write(header), E_FAIL);
  EXPECT_EQ(helper.Job().size(), 41u + 5u);
  // An empty table needs no bytes.
  header.tableLength = 0;
  helper.ClearWrites();
  EXPECT_EQ(Write(header), S_OK);
  EXPECT_EQ(helper.Job().size(), 48u + 5u);
}

// Failing the nth write leaves exactly the writes before it in the job.
TEST_F(ImageRecordTest, AFailedWriteEndsTheHeaderAtOnce) {
  for (unsigned nth = 1; nth <= kCommonWriteSizes.size(); ++nth) {
    host::DriverHelper fresh;
    fresh.FailWrite(nth);
    EXPECT_EQ(WriteImageRecordHeader({&fresh, &devobj}, CommonHeader()), E_FAIL) << nth;
    EXPECT_EQ(fresh.writeCalls(), nth);
    const size_t kept = std::accumulate(kCommonWriteSizes.begin(), kCommonWriteSizes.begin() + nth - 1, size_t{0});
    EXPECT_TRUE(SameBytes(fresh.Job(), Bytes(kCommonHeader.begin(), kCommonHeader.begin() + kept))) << nth;
  }
  helper.FailWrite(3);
  EXPECT_EQ(Write(CommonHeader()), E_FAIL);
  EXPECT_TRUE(SameBytes(helper.Job(), Hex("43 71 00 00 00 00")));
}

TEST_F(ImageRecordTest, FailureIsANegativeResultOnly) {
  helper.AnswerWrites(S_FALSE);
  EXPECT_EQ(Write(CommonHeader()), S_OK);
  EXPECT_EQ(helper.writeCalls(), 18u);
  helper.AnswerWrites(static_cast<HRESULT>(0x80070070));  // disk full
  EXPECT_EQ(Write(CommonHeader()), E_FAIL);
  EXPECT_EQ(helper.writeCalls(), 19u);
}

TEST_F(ImageRecordTest, ShortFormWritesOnPastAFailure) {
  helper.FailWrite(3);
  WriteShortImageRecordHeader({&helper, &devobj}, 100.0f, 640, 32, language::kGrayRawDescriptor, 20480);
  EXPECT_EQ(helper.writeCalls(), 7u);
  Bytes want = kCommonHeader;
  want.erase(want.begin() + 10, want.begin() + 34);
  EXPECT_TRUE(SameBytes(helper.Job(), want));
}

TEST(OneItemWriterTest, EachIsOneWriteAnsweringItsResultUnchanged) {
  DEVOBJ devobj{};
  const uint8_t raw[] = {0x00, 0xFF, 0x7F};
  for (HRESULT result : {S_OK, S_FALSE, E_FAIL, static_cast<HRESULT>(0x80070070)}) {
    host::DriverHelper helper;  // lives here; nothing takes a reference
    helper.AnswerWrites(result);
    std::vector<Bytes> calls;  // refused writes too
    helper.SetWriteObserver(
        [&calls](const uint8_t* bytes, DWORD size, bool) { calls.emplace_back(bytes, bytes + size); });
    EXPECT_EQ(SpoolU8({&helper, &devobj}, 0x1A5), result);
    EXPECT_EQ(SpoolU16BE({&helper, &devobj}, 0x12345678), result);
    EXPECT_EQ(SpoolU32BE({&helper, &devobj}, 0x01020304), result);
    EXPECT_EQ(SpoolFloatBE({&helper, &devobj}, -2.5f), result);
    EXPECT_EQ(SpoolFloatBE({&helper, &devobj}, 100.0f), result);
    EXPECT_EQ(SpoolBytes({&helper, &devobj}, raw, sizeof raw), result);
    const std::vector<Bytes> want = {Hex("A5"),          Hex("56 78"),       Hex("01 02 03 04"),
                                     Hex("C0 20 00 00"), Hex("42 C8 00 00"), Hex("00 FF 7F")};
    ASSERT_EQ(calls.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_TRUE(SameBytes(calls[i], want[i])) << i;
  }
}

}  // namespace
}  // namespace kav::test
