// The tools' strict JSON reader: what it accepts, and where it says a
// document goes wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/json.h"

namespace kav::tools {
namespace {

JsonValue Parse(const std::string& text) {
  Result<JsonValue> result = ParseJson(text);
  EXPECT_TRUE(result.ok()) << result.error();
  return result ? std::move(result).value() : JsonValue{};
}

std::string ErrorOf(const std::string& text, size_t maxDepth = kJsonMaxDepth) {
  const Result<JsonValue> result = ParseJson(text, maxDepth);
  EXPECT_FALSE(result.ok()) << "accepted: " << text;
  return result ? "" : result.error();
}

TEST(JsonTest, ReadsNestedValuesInDocumentOrderWithPositions) {
  const JsonValue doc = Parse("{\n  \"b\": [1, true, null],\n  \"a\": {\"x\": \"y\"}\n}");
  ASSERT_TRUE(doc.IsObject());
  ASSERT_EQ(doc.members.size(), 2u);
  EXPECT_EQ(doc.members[0].first, "b");  // not sorted
  const JsonValue* b = doc.Find("b");
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->items.size(), 3u);
  EXPECT_EQ(b->items[0].integer, 1);
  EXPECT_EQ(b->position.line, 2u);
  EXPECT_EQ(b->position.column, 8u);
  EXPECT_EQ(b->items[1].kind, JsonValue::Kind::kBool);
  EXPECT_TRUE(b->items[1].boolean);
  EXPECT_TRUE(b->items[2].IsNull());
  EXPECT_EQ(doc.Find("a")->Find("x")->text, "y");
  EXPECT_EQ(doc.Find("missing"), nullptr);
}

TEST(JsonTest, StringEscapesBecomeUtf8) {
  EXPECT_EQ(Parse(R"("a\"b\\c\/d\b\f\n\r\t")").text, "a\"b\\c/d\b\f\n\r\t");
  EXPECT_EQ(Parse(R"("\u00e9\u3042")").text, "\xC3\xA9\xE3\x81\x82");
  EXPECT_EQ(Parse(R"("\ud83d\ude00")").text, "\xF0\x9F\x98\x80");  // a surrogate pair
  EXPECT_EQ(Parse("\"\xE3\x81\x82\"").text, "\xE3\x81\x82");       // raw UTF-8 kept
}

TEST(JsonTest, IntegersAreKeptExactlyOnlyWhenWrittenAsIntegers) {
  EXPECT_EQ(Parse("-0").integer, 0);
  EXPECT_EQ(Parse("9223372036854775807").integer, INT64_MAX);
  EXPECT_EQ(Parse("-9223372036854775808").integer, INT64_MIN);
  for (const char* text : {"1.0", "1e2", "9223372036854775808", "2E-1"}) {
    const JsonValue value = Parse(text);
    EXPECT_EQ(value.kind, JsonValue::Kind::kNumber) << text;
    EXPECT_FALSE(value.integer.has_value()) << text;
  }
  EXPECT_DOUBLE_EQ(Parse("2.5e3").number, 2500.0);
}

TEST(JsonTest, NumbersTooSmallToHoldTakeTheNearestValueAndTooLargeOnesAreRefused) {
  EXPECT_EQ(Parse("1e-400").number, 0.0);
  EXPECT_TRUE(std::signbit(Parse("-1e-400").number));
  EXPECT_EQ(Parse("4.9e-324").number, 4.9e-324);  // the smallest subnormal survives
  EXPECT_EQ(Parse("[0.0000000000000000000001e-320]").items.at(0).number, 0.0);
  EXPECT_EQ(ErrorOf("1e400"), "line 1, column 1 (byte 0): a number too large to hold");
  EXPECT_EQ(ErrorOf("[-1e309]"), "line 1, column 2 (byte 1): a number too large to hold");
}

TEST(JsonTest, TheNumberOfValuesIsBounded) {
  std::string most = "[";
  for (size_t i = 1; i < kJsonMaxValues; ++i) most += i == 1 ? "0" : ",0";
  EXPECT_EQ(Parse(most + "]").items.size(), kJsonMaxValues - 1);  // the array is a value too
  EXPECT_EQ(ErrorOf(most + ",0]"), "line 1, column " + std::to_string(2 * kJsonMaxValues) + " (byte " +
                                       std::to_string(2 * kJsonMaxValues - 1) + "): more than " +
                                       std::to_string(kJsonMaxValues) + " values");
}

TEST(JsonTest, MalformedDocumentsNameLineColumnAndByte) {
  EXPECT_EQ(ErrorOf("{\"a\": 1,\n  }"), "line 2, column 3 (byte 11): expected a member name in double quotes");
  EXPECT_EQ(ErrorOf("[1, 2,]"), "line 1, column 7 (byte 6): unexpected character; expected a JSON value");
  EXPECT_EQ(ErrorOf("{\"a\": 1, \"a\": 2}"), "line 1, column 10 (byte 9): the member \"a\" appears twice");
  EXPECT_EQ(ErrorOf("[01]"), "line 1, column 3 (byte 2): a number with a leading zero");
  EXPECT_EQ(ErrorOf("{} {}"), "line 1, column 4 (byte 3): unexpected text after the document");
  EXPECT_EQ(ErrorOf(""), "line 1, column 1 (byte 0): unexpected end of the document; expected a value");
}

TEST(JsonTest, RefusesWhatTheStandardRefuses) {
  const char* bad[] = {
      "[1,]",
      "{\"a\" 1}",
      "{'a': 1}",
      "[tru]",
      "[nul]",
      "-",
      "1.",
      ".5",
      "1e",
      "+1",
      "[1 2]",
      "\"abc",
      "\"a\nb\"",            // raw control character
      "\"\\x\"",             // unknown escape
      "\"\\u12\"",           // short \u
      "\"\\udc00\"",         // lone low surrogate
      "\"\\ud800\"",         // high surrogate alone
      "\"\\ud800\\u0041\"",  // high surrogate with a non-surrogate
      "\"\xC0\xAF\"",        // overlong UTF-8, as the shared reader refuses it
      "1e400",               // out of range
      "[1] // comment",
  };
  for (const char* text : bad) EXPECT_FALSE(ParseJson(text).ok()) << text;
}

TEST(JsonTest, NestingIsBoundedAtTheGivenDepth) {
  const std::string ok = std::string(64, '[') + std::string(64, ']');
  EXPECT_TRUE(ParseJson(ok).ok());
  const std::string deep = std::string(65, '[') + std::string(65, ']');
  EXPECT_NE(ErrorOf(deep).find("nesting deeper than 64 levels"), std::string::npos);
  // Far deeper input fails the same way rather than exhausting the stack.
  EXPECT_FALSE(ParseJson(std::string(100000, '[')).ok());
  EXPECT_NE(ErrorOf("{\"a\": {\"b\": []}}", 2).find("nesting deeper than 2"), std::string::npos);
}

}  // namespace
}  // namespace kav::tools
