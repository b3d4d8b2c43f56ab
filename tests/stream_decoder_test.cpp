// The stream reader: the items back into rows, and every malformed item
// refused with its offset and one clear line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "kavcmp_decoder.h"

namespace kav::test {
namespace {

struct Decoded {
  StreamDecodeResult result;
  Bytes image;
};

Decoded Decode(const Bytes& stream, uint32_t rowBytes, uint32_t rows) {
  Decoded decoded;
  decoded.image.assign(3, 0xEE);  // replaced, not appended to
  decoded.result = DecodeRowStream(stream.data(), stream.size(), rowBytes, rows, decoded.image);
  return decoded;
}

TEST(StreamDecoderTest, WorkedExampleDecodesToTheMaskedRows) {
  const Decoded decoded = Decode(Hex("01 01 03 20 12 34 00 04 01 FF 01 0C"), 4, 5);
  ASSERT_TRUE(decoded.result.ok) << decoded.result.error;
  EXPECT_EQ(decoded.result.rowsDecoded, 5u);
  EXPECT_TRUE(SameBytes(decoded.image, Hex("00000000 00000000 12340000 12340000 12FF000C")));
}

TEST(StreamDecoderTest, ItemsSetTheSeedAsTheFormatSays) {
  // A long offset, a row after a blank run coded against zeros, repeats of
  // a changed row, and a 256-row run.
  const Decoded decoded = Decode(Hex("04 1F FF 00 AB 01 00 02 00 CD 00 01 FF"), 300, 260);
  ASSERT_TRUE(decoded.result.ok) << decoded.result.error;
  EXPECT_EQ(decoded.result.rowsDecoded, 260u);
  Bytes expected(300 * 260, 0);
  expected[286] = 0xAB;
  expected[2 * 300] = 0xCD;
  expected[3 * 300] = 0xCD;
  EXPECT_TRUE(SameBytes(decoded.image, expected));
}

TEST(StreamDecoderTest, FewerRowsThanDeclaredLeaveTheRestZero) {
  const Decoded decoded = Decode(Hex("02 00 80"), 1, 4);
  ASSERT_TRUE(decoded.result.ok) << decoded.result.error;
  EXPECT_EQ(decoded.result.rowsDecoded, 1u);
  EXPECT_TRUE(SameBytes(decoded.image, Hex("80 00 00 00")));
  EXPECT_TRUE(Decode({}, 8, 0).result.ok);
}

TEST(StreamDecoderTest, RowsOfNoBytesTakeRepeatsAndRunsOnly) {
  const Decoded decoded = Decode(Hex("00 01 02"), 0, 4);
  ASSERT_TRUE(decoded.result.ok) << decoded.result.error;
  EXPECT_EQ(decoded.result.rowsDecoded, 4u);
  EXPECT_TRUE(decoded.image.empty());
  EXPECT_FALSE(Decode(Hex("02 00 80"), 0, 1).result.ok);
}

TEST(StreamDecoderTest, MalformedItemsAreRefusedWhereTheyStart) {
  struct Case {
    const char* stream;
    uint32_t rowBytes;
    uint32_t rows;
    size_t offset;
    uint32_t rowsBefore;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"00 01", 2, 3, 1, 1, "cut short"},                          // blank run without its count
      {"02 00 80 FF FF", 2, 3, 3, 1, "length prefix"},             // prefix without its last byte
      {"05 00 AA 1F", 40, 1, 0, 0, "past the end of the stream"},  // records beyond the stream
      {"03 1F 00 80", 4, 1, 0, 0, "past the row"},                 // offset 31 in a row of 4
      {"02 E0 80", 4, 1, 0, 0, "past the row"},                    // 8 bytes into a row of 4
      {"02 00 AA 03 22 BB CC", 3, 2, 3, 1, "past the row"},        // a record of 2 at byte 2 of 3
      {"02 20 80", 4, 1, 0, 0, "literal bytes"},                   // a record of 2 with 1 literal
      {"02 1F FF", 400, 1, 0, 0, "offset extension"},              // extension running to the item's end
      {"00 00 00", 1, 2, 2, 2, "beyond the 2 rows declared"},      // a repeat too many
      {"01 04", 1, 4, 0, 0, "rows 0 to 4, beyond the 4 rows declared"},
      {"02 00 80", 1, 0, 0, 0, "beyond the 0 rows declared"},
  };
  for (const Case& c : cases) {
    const Decoded decoded = Decode(Hex(c.stream), c.rowBytes, c.rows);
    EXPECT_FALSE(decoded.result.ok) << c.stream;
    EXPECT_EQ(decoded.result.errorOffset, c.offset) << c.stream;
    EXPECT_EQ(decoded.result.rowsDecoded, c.rowsBefore) << c.stream;
    EXPECT_NE(decoded.result.error.find(c.says), std::string::npos) << c.stream << ": " << decoded.result.error;
    EXPECT_EQ(decoded.result.error.find('\n'), std::string::npos) << c.stream;
    EXPECT_EQ(decoded.image.size(), size_t{c.rowBytes} * c.rows) << c.stream;
  }
}

}  // namespace
}  // namespace kav::test
