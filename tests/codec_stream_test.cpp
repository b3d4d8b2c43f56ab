// The codec's stream byte for byte, through the functions the render library
// exports: blank runs, repeats, changed rows, the length prefix and the
// offset extension, and images fed in slices.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "c_codec_client.h"
#include "codec_fixture.h"

namespace kav::test {
namespace {

using CodecStreamTest = CodecTest;

// Rows of `rowBytes` bytes, all zero but for the bytes given as {row, byte, value}.
struct SetByte {
  uint32_t row;
  uint32_t byte;
  uint8_t value;
};
Bytes Image(uint32_t rowBytes, uint32_t rows, const std::vector<SetByte>& set = {}) {
  Bytes image(size_t{rowBytes} * rows, 0);
  for (const SetByte& s : set) image[size_t{s.row} * rowBytes + s.byte] = s.value;
  return image;
}

const Bytes kWorkedExampleRows =
    Hex("00000000"
        "00000003"
        "12340000"
        "12340000"
        "12FF000F");

TEST_F(CodecStreamTest, WorkedExampleGivesTwelveBytes) {
  EXPECT_TRUE(SameBytes(Compress(kWorkedExampleRows, 30, 5, 4), Hex("01 01 03 20 12 34 00 04 01 FF 01 0C")));
}

TEST_F(CodecStreamTest, WorkedExampleRowByRowReportsEachRowsBytes) {
  CompressHandle* handle = codec.LoadCompress();
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(codec.InitBitmap(handle, 1, 30, 5, 4), 0);
  const std::vector<Bytes> expected = {Hex(""), Hex(""), Hex("01 01 03 20 12 34"), Hex("00"), Hex("04 01 FF 01 0C")};
  for (uint32_t row = 0; row < 5; ++row) {
    uint32_t size = 0xFFFF;
    ASSERT_EQ(codec.CompressBitmap(handle, kWorkedExampleRows.data() + 4 * row, 1, &size), 0);
    EXPECT_TRUE(SameBytes(Collect(handle, size), expected[row])) << "row " << row;
  }
  EXPECT_EQ(codec.FinishBitmap(handle), 0);
  EXPECT_EQ(codec.FreeCompress(handle), 0);
}

TEST_F(CodecStreamTest, SingleRowResults) {
  // Byte 35 of 40: offset 35 = 31 + 4.
  EXPECT_TRUE(SameBytes(Compress(Image(40, 1, {{0, 35, 0x80}}), 320, 1, 40), Hex("03 1F 04 80")));
  // Ten changed bytes: a record of 8, then one of 2 at offset 0.
  Bytes tenBytes = Image(16, 1);
  for (uint8_t k = 0; k < 10; ++k) tenBytes[k] = k + 1;
  EXPECT_TRUE(SameBytes(Compress(tenBytes, 128, 1, 16), Hex("0C E0 01 02 03 04 05 06 07 08 20 09 0A")));
  // Eight changed bytes and an unchanged one: one record of 8.
  Bytes eight = Image(9, 1);
  for (uint8_t k = 0; k < 8; ++k) eight[k] = 0xA0 + k;
  EXPECT_TRUE(SameBytes(Compress(eight, 72, 1, 9), Hex("09 E0 A0 A1 A2 A3 A4 A5 A6 A7")));
  // Nine, the last at the row's end: 8 and 1, the second at offset 0.
  eight[8] = 0xA8;
  EXPECT_TRUE(SameBytes(Compress(eight, 72, 1, 9), Hex("0B E0 A0 A1 A2 A3 A4 A5 A6 A7 00 A8")));
}

TEST_F(CodecStreamTest, BlankRunsSplitAt256Rows) {
  const Bytes blank = Image(2, 513);
  EXPECT_TRUE(SameBytes(Compress(blank, 16, 256, 2), Hex("01 FF")));
  EXPECT_TRUE(SameBytes(Compress(blank, 16, 257, 2), Hex("01 FF 01 00")));
  EXPECT_TRUE(SameBytes(Compress(blank, 16, 513, 2), Hex("01 FF 01 FF 01 00")));
  EXPECT_TRUE(SameBytes(Compress(blank, 16, 1, 2), Hex("01 00")));
}

const Bytes kRunsAroundOneRow = Image(2, 300, {{257, 0, 0x01}, {257, 1, 0x02}});

TEST_F(CodecStreamTest, RunsAroundAChangedRow) {
  EXPECT_TRUE(SameBytes(Compress(kRunsAroundOneRow, 16, 300, 2), Hex("01 FF 01 00 03 20 01 02 01 29")));
}

TEST_F(CodecStreamTest, SlicesGiveTheStreamOfOneCall) {
  const Bytes expected = Hex("01 FF 01 00 03 20 01 02 01 29");
  for (const std::vector<uint32_t>& slices : std::vector<std::vector<uint32_t>>{
           {1, 299}, {256, 1, 1, 42}, {100, 157, 1, 20, 22}, {0, 258, 0, 41, 1}, {257, 43}}) {
    EXPECT_TRUE(SameBytes(Compress(kRunsAroundOneRow.data(), 16, 300, 2, 300, slices), expected))
        << "slices starting " << slices[0] << ", " << slices[1];
  }
  std::vector<uint32_t> oneByOne(5, 1);
  EXPECT_TRUE(SameBytes(Compress(kWorkedExampleRows.data(), 30, 5, 4, 5, oneByOne),
                        Hex("01 01 03 20 12 34 00 04 01 FF 01 0C")));
}

// With rows of one or two bytes, a call whose first row ends a blank run
// left by the previous call writes more than 2B + 1 bytes per row.
TEST_F(CodecStreamTest, CallFlushingAnEarlierRunHasRoomForIt) {
  EXPECT_TRUE(SameBytes(Compress(Hex("00 FF").data(), 8, 2, 1, 2, {1, 1}), Hex("01 00 02 00 FF")));
  EXPECT_TRUE(SameBytes(Compress(Hex("0000 FFFF").data(), 16, 2, 2, 2, {1, 1}), Hex("01 00 03 20 FF FF")));
}

TEST_F(CodecStreamTest, BitsBeyondTheWidthAreIgnored) {
  EXPECT_TRUE(SameBytes(Compress(Hex("00 00 00 03"), 30, 1, 4), Hex("01 00")));
  EXPECT_TRUE(SameBytes(Compress(Hex("7F"), 1, 1, 1), Hex("01 00")));
  EXPECT_TRUE(SameBytes(Compress(Hex("FF"), 1, 1, 1), Hex("02 00 80")));
  // Rows differing only there repeat.
  EXPECT_TRUE(SameBytes(Compress(Hex("81 80"), 2, 2, 1), Hex("02 00 80 00")));
}

TEST_F(CodecStreamTest, BlankRowsNeverRepeatAndRowsAfterARunAreCodedAgainstZeros) {
  // A blank first row is a run even though the seed is all zeros already.
  EXPECT_TRUE(SameBytes(Compress(Hex("0000 0000"), 16, 2, 2), Hex("01 01")));
  // The row after a run is a changed row, although it equals the row before the run.
  EXPECT_TRUE(SameBytes(Compress(Hex("1234 0000 1234"), 16, 3, 2), Hex("03 20 12 34 01 00 03 20 12 34")));
}

TEST_F(CodecStreamTest, TrailingRunIsWrittenOnlyAtTheDeclaredLastRow) {
  const Bytes rows = Hex("1234 0000 0000 0000");
  // Fewer rows coded than declared: the run stays pending.
  EXPECT_TRUE(SameBytes(Compress(rows.data(), 16, 3, 2, 5), Hex("03 20 12 34")));
  // More rows coded than declared: the last declared row ends the run, later ones stay pending.
  EXPECT_TRUE(SameBytes(Compress(rows.data(), 16, 4, 2, 2), Hex("03 20 12 34 01 00")));
  const Bytes repeated = Hex("1234 1234 0000 0000");
  EXPECT_TRUE(SameBytes(Compress(repeated.data(), 16, 4, 2, 2), Hex("03 20 12 34 00")));
  // With no rows declared no row is the last.
  EXPECT_TRUE(SameBytes(Compress(rows.data(), 16, 4, 2, 0), Hex("03 20 12 34")));
}

// A row whose records come to `length` bytes: two changed bytes (3 bytes of
// record) when the length is odd, then single changed bytes one apart (2
// bytes each). Also answers the records expected.
Bytes RowWithRecordLength(uint32_t length, Bytes& records) {
  Bytes row;
  records.clear();
  unsigned n = 0;
  auto nextValue = [&n] { return static_cast<uint8_t>(1 + n++ % 255); };  // never 0, which would be unchanged
  if (length % 2 == 1) {
    row = {nextValue(), nextValue()};
    records = {0x20, row[0], row[1]};
    length -= 3;
  }
  for (; length > 0; length -= 2) {
    const bool first = row.empty();
    if (!first) row.push_back(0);
    row.push_back(nextValue());
    records.push_back(first ? 0x00 : 0x01);
    records.push_back(row.back());
  }
  return row;
}

TEST_F(CodecStreamTest, LengthPrefixCountsInStepsOf255) {
  const std::vector<std::pair<uint32_t, const char*>> prefixes = {
      {2, "02"},      {3, "03"},         {254, "FE"},       {255, "FF 00"},
      {256, "FF 01"}, {510, "FF FF 00"}, {511, "FF FF 01"}, {765, "FF FF FF 00"},
  };
  for (const auto& [length, prefix] : prefixes) {
    Bytes records;
    const Bytes row = RowWithRecordLength(length, records);
    ASSERT_EQ(records.size(), length);
    const auto rowBytes = static_cast<uint32_t>(row.size());
    EXPECT_TRUE(SameBytes(Compress(row, 8 * rowBytes, 1, rowBytes), Concat({Hex(prefix), records})))
        << "record length " << length;
  }
}

TEST_F(CodecStreamTest, OffsetExtensionCountsInStepsOf255) {
  const std::vector<std::pair<uint32_t, const char*>> offsets = {
      {0, "02 00 80"},      {30, "02 1E 80"},        {31, "03 1F 00 80"},        {35, "03 1F 04 80"},
      {285, "03 1F FE 80"}, {286, "04 1F FF 00 80"}, {541, "05 1F FF FF 00 80"}, {542, "05 1F FF FF 01 80"},
  };
  for (const auto& [offset, expected] : offsets) {
    const Bytes row = Image(offset + 1, 1, {{0, offset, 0x80}});
    EXPECT_TRUE(SameBytes(Compress(row, 8 * (offset + 1), 1, offset + 1), Hex(expected))) << "offset " << offset;
  }
}

TEST_F(CodecStreamTest, OffsetCountsFromTheByteAfterThePreviousRecord) {
  // Bytes 0 and 33 changed: the second record's offset is 32.
  EXPECT_TRUE(SameBytes(Compress(Image(40, 1, {{0, 0, 0xAA}, {0, 33, 0xBB}}), 320, 1, 40), Hex("05 00 AA 1F 01 BB")));
  // Runs on both sides of a 64-byte boundary and one across it.
  const Bytes row = Image(200, 1, {{0, 62, 1}, {0, 63, 2}, {0, 64, 3}, {0, 127, 4}, {0, 128, 5}, {0, 199, 6}});
  EXPECT_TRUE(SameBytes(Compress(row, 1600, 1, 200), Hex("0C 5F 1F 01 02 03 3F 1F 04 05 1F 27 06")));
}

TEST_F(CodecStreamTest, ChangedRowsAreCodedAgainstThePreviousRow) {
  // Row 1 changes byte 1 and clears byte 3 of row 0; row 2 repeats row 1.
  const Bytes rows = Hex("11223344 11553300 11553300");
  EXPECT_TRUE(SameBytes(Compress(rows, 32, 3, 4), Hex("05 60 11 22 33 44 04 01 55 01 00 00")));
}

TEST_F(CodecStreamTest, StrideSkipsFillBytesAndMayRunBackwards) {
  // Two-byte rows stored four bytes apart; the fill bytes are never read into the stream.
  const Bytes padded = Hex("1234EEEE 1234EEEE 5600EEEE");
  EXPECT_TRUE(SameBytes(Compress(padded, 16, 3, 4), Hex("03 20 12 34 00 03 20 56 00")));
  // The same rows stored bottom row first.
  const Bytes bottomUp = Hex("5600 1234 1234");
  EXPECT_TRUE(SameBytes(Compress(bottomUp.data() + 4, 16, 3, -2, 3), Hex("03 20 12 34 00 03 20 56 00")));
}

// The table a C module fills has the header's own function types.
static_assert(std::is_same_v<decltype(CodecTable::LoadCompress), decltype(&kavcmp_LoadCompress)>);
static_assert(std::is_same_v<decltype(CodecTable::InitBitmap), decltype(&kavcmp_InitBitmap)>);
static_assert(std::is_same_v<decltype(CodecTable::CompressBitmap), decltype(&kavcmp_CompressBitmap)>);
static_assert(std::is_same_v<decltype(CodecTable::GetBitmap), decltype(&kavcmp_GetBitmap)>);
static_assert(std::is_same_v<decltype(CodecTable::FinishBitmap), decltype(&kavcmp_FinishBitmap)>);
static_assert(std::is_same_v<decltype(CodecTable::FreeCompress), decltype(&kavcmp_FreeCompress)>);

TEST_F(CodecStreamTest, CModuleGetsTheSameStream) {
  const CodecTable table = {codec.LoadCompress, codec.InitBitmap,   codec.CompressBitmap,
                            codec.GetBitmap,    codec.FinishBitmap, codec.FreeCompress};
  Bytes out(64, 0);
  const long length = CompressFromC(&table, kWorkedExampleRows.data(), 30, 5, out.data(), 64);
  ASSERT_EQ(length, 12);
  out.resize(12);
  EXPECT_TRUE(SameBytes(out, Hex("01 01 03 20 12 34 00 04 01 FF 01 0C")));
}

}  // namespace
}  // namespace kav::test
