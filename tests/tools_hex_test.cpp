// Hex digits as the replay scripts, the write lists, the messages and the
// golden byte strings of the tests write bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/hex.h"

namespace kav::tools {
namespace {

constexpr size_t kWhole = std::string_view::npos;

TEST(HexTest, ReadsDigitPairsOrNamesTheFirstPairThatIsNot) {
  const struct {
    std::string_view text;
    size_t fault;
    std::vector<uint8_t> bytes;  // when read whole
  } cases[] = {
      {"", kWhole, {}},
      {"   ", kWhole, {}},
      {"00ff7F80", kWhole, {0x00, 0xFF, 0x7F, 0x80}},
      {" 0a 0B  c0 ", kWhole, {0x0A, 0x0B, 0xC0}},
      {"abc", 2, {}},         // an odd digit at the end
      {"0 0", 0, {}},         // a space inside a pair
      {"00 0g", 3, {}},       // a letter beyond f
      {"00\t00", 2, {}},      // only spaces separate
      {"00,00", 2, {}},       //
      {"0x00", 0, {}},        // no prefix
      {"00\xC3\xA9", 2, {}},  // bytes above 0x7F are no digits either
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes = {0x55};  // what a caller had before is not kept
    EXPECT_EQ(ParseHex(c.text, bytes), c.fault) << testing::PrintToString(c.text);
    if (c.fault == kWhole) {
      EXPECT_EQ(bytes, c.bytes) << testing::PrintToString(c.text);
    }
  }
}

TEST(HexTest, WritesTwoLowerCaseDigitsPerByte) {
  const uint8_t bytes[] = {0x00, 0x09, 0xA5, 0xFF};
  std::string text = "4 ";
  AppendHex(text, bytes, 4);
  EXPECT_EQ(text, "4 0009a5ff");
  text.clear();
  AppendHex(text, bytes, 4, ' ');
  EXPECT_EQ(text, "00 09 a5 ff");
  AppendHex(text, bytes, 0, ' ');
  EXPECT_EQ(text, "00 09 a5 ff");
  EXPECT_EQ(ByteText(0x00), "0x00");
  EXPECT_EQ(ByteText(0x7B), "0x7b");
  EXPECT_EQ(ByteText(0xFF), "0xff");
}

TEST(HexTest, WrittenTextReadsBackForEveryByte) {
  std::vector<uint8_t> all(256);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
  for (char separator : {'\0', ' '}) {
    std::string text;
    AppendHex(text, all.data(), all.size(), separator);
    std::vector<uint8_t> back;
    EXPECT_EQ(ParseHex(text, back), kWhole);
    EXPECT_EQ(back, all);
  }
}

}  // namespace
}  // namespace kav::tools
