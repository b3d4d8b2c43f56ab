// The one UTF-8 reader of the tree and the UTF-16 conversions built on it.
#include "platform/wide_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace kav {
namespace {

WideString Wide(std::u16string_view text) { return WideString(text.begin(), text.end()); }

std::u16string Units(const WideString& text) { return std::u16string(text.begin(), text.end()); }

TEST(Utf8Test, WellFormedSequencesAtTheEdgesOfEachLength) {
  const struct {
    std::string_view text;
    size_t length;
    char32_t code;
  } cases[] = {
      {std::string_view("\0", 1), 1, 0},
      {"\x7F", 1, 0x7F},
      {"\xC2\x80", 2, 0x80},  // the least two-byte value
      {"\xDF\xBF", 2, 0x7FF},
      {"\xE0\xA0\x80", 3, 0x800},   // the least three-byte value
      {"\xED\x9F\xBF", 3, 0xD7FF},  // just below the surrogates
      {"\xEE\x80\x80", 3, 0xE000},  // just above them
      {"\xEF\xBF\xBF", 3, 0xFFFF},
      {"\xF0\x90\x80\x80", 4, 0x10000},  // the least four-byte value
      {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
      {"\xE3\x81\x82\xE3\x81\x84", 3, 0x3042},  // only the first of two is read
      {"A\xC3", 1, 'A'},                        // a fault after the first does not matter
  };
  for (const auto& c : cases) {
    char32_t code = 0xDEAD;
    EXPECT_EQ(DecodeUtf8(c.text, code), c.length) << testing::PrintToString(c.text);
    EXPECT_EQ(code, c.code) << testing::PrintToString(c.text);
  }
}

TEST(Utf8Test, IllFormedSequencesAreRefusedAndLeaveTheCode) {
  const std::string_view cases[] = {
      "",
      "\x80",                  // a continuation byte with no lead
      "\xBF",                  //
      "\xC0\x80",              // overlong NUL
      "\xC1\xBF",              // overlong U+7F
      "\xE0\x80\x80",          // overlong NUL in three bytes
      "\xE0\x9F\xBF",          // overlong U+7FF
      "\xF0\x80\x80\x80",      // overlong NUL in four bytes
      "\xF0\x8F\xBF\xBF",      // overlong U+FFFF
      "\xED\xA0\x80",          // U+D800, the first surrogate
      "\xED\xBF\xBF",          // U+DFFF, the last
      "\xF4\x90\x80\x80",      // U+110000
      "\xF5\x80\x80\x80",      // a lead that can only start values above U+10FFFF
      "\xF7\xBF\xBF\xBF",      //
      "\xF8\x88\x80\x80\x80",  // five bytes
      "\xFC\x84\x80\x80\x80\x80",
      "\xFE",
      "\xFF",
      "\xC3",          // cut short
      "\xE3\x81",      //
      "\xF0\x9F\x98",  //
      "\xC3"
      "A",  // a lead followed by no continuation
      "\xE3\x81"
      "A",  //
      "\xF0\x9F\x98"
      "A",             //
      "\xC3\xC3\xA9",  // a lead where a continuation belongs
  };
  for (std::string_view text : cases) {
    char32_t code = 0xDEAD;
    EXPECT_EQ(DecodeUtf8(text, code), 0u) << testing::PrintToString(text);
    EXPECT_EQ(code, 0xDEADu) << testing::PrintToString(text);
  }
}

TEST(Utf8Test, EveryScalarValueComesBackFromItsEncoding) {
  for (char32_t value = 0; value <= 0x10FFFF; ++value) {
    if (value == 0xD800) value = 0xE000;
    std::string encoded;
    AppendUtf8(encoded, value);
    char32_t code = 0;
    ASSERT_EQ(DecodeUtf8(encoded, code), encoded.size()) << std::hex << static_cast<uint32_t>(value);
    ASSERT_EQ(code, value) << std::hex << static_cast<uint32_t>(value);
    ASSERT_EQ(ToUtf8(ToWide(encoded)), encoded) << std::hex << static_cast<uint32_t>(value);
  }
}

TEST(Utf8Test, WholeTextIsValidOnlyWithEverySequenceWellFormed) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain \xE3\x81\x82 \xF0\x9F\x98\x80 end"));
  EXPECT_FALSE(IsValidUtf8("plain \xE3\x81\x82 end\xC0\xAF"));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80\xED\xB0\x80"));  // a surrogate pair written as two sequences
  EXPECT_FALSE(IsValidUtf8("cut at the end \xE3\x81"));
}

TEST(WideTextTest, EachByteThatStartsNoSequenceBecomesOneReplacement) {
  const struct {
    std::string_view utf8;
    std::u16string_view wide;
  } cases[] = {
      {"", u""},
      {"a\xE3\x81\x82z", u"a\u3042z"},
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {"a\xC0\xAF"
       "b",
       u"a\xFFFD\xFFFD"
       "b"},  // an overlong '/' is no slash
      {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},
      {"\xE3\x81", u"\xFFFD\xFFFD"},
      {"\xE3\x81"
       "A",
       u"\xFFFD\xFFFD"
       "A"},
      {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},
  };
  for (const auto& c : cases) EXPECT_EQ(Units(ToWide(c.utf8)), c.wide) << testing::PrintToString(c.utf8);
}

TEST(WideTextTest, UnpairedSurrogatesBecomeReplacementsInUtf8) {
  const struct {
    std::u16string_view wide;
    std::string_view utf8;
  } cases[] = {
      {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
      {u"\xD83D", "\xEF\xBF\xBD"},
      {u"\xD83D"
       "a",
       "\xEF\xBF\xBD"
       "a"},
      {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // the pair in the wrong order
      {u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    const std::string utf8 = ToUtf8(Wide(c.wide));
    EXPECT_EQ(utf8, c.utf8) << testing::PrintToString(std::u16string(c.wide));
    EXPECT_TRUE(IsValidUtf8(utf8));
  }
}

}  // namespace
}  // namespace kav
