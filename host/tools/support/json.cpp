#include "support/json.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <set>

#include "platform/wide_text.h"
#include "support/hex.h"

namespace kav::tools {
namespace {

class Parser {
 public:
  Parser(std::string_view text, size_t maxDepth) : text_(text), maxDepth_(maxDepth) {}

  Result<JsonValue> Run() {
    JsonValue value;
    SkipSpace();
    if (ParseValue(value, 0)) {
      SkipSpace();
      if (at_ < text_.size()) Fail("unexpected text after the document");
    }
    if (!error_.empty()) return Error{error_};
    return value;
  }

 private:
  JsonPosition Here() const { return {at_, line_, at_ - lineStart_ + 1}; }

  bool Fail(const std::string& message) {
    if (error_.empty()) {
      const JsonPosition p = Here();
      error_ = "line " + std::to_string(p.line) + ", column " + std::to_string(p.column) + " (byte " +
               std::to_string(p.offset) + "): " + message;
    }
    return false;
  }

  void SkipSpace() {
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (c == '\n') {
        ++line_;
        lineStart_ = at_ + 1;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
      ++at_;
    }
  }

  bool Literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return Fail("unknown word; expected a JSON value");
    at_ += word.size();
    return true;
  }

  bool ParseValue(JsonValue& value, size_t depth) {
    value.position = Here();
    if (at_ >= text_.size()) return Fail("unexpected end of the document; expected a value");
    if (++values_ > kJsonMaxValues) return Fail("more than " + std::to_string(kJsonMaxValues) + " values");
    switch (text_[at_]) {
      case '{':
        return ParseObject(value, depth + 1);
      case '[':
        return ParseArray(value, depth + 1);
      case '"':
        value.kind = JsonValue::Kind::kString;
        return ParseString(value.text);
      case 't':
        value.kind = JsonValue::Kind::kBool;
        value.boolean = true;
        return Literal("true");
      case 'f':
        value.kind = JsonValue::Kind::kBool;
        return Literal("false");
      case 'n':
        return Literal("null");
      default:
        return ParseNumber(value);
    }
  }

  bool EnterContainer(size_t depth) {
    if (depth > maxDepth_) return Fail("nesting deeper than " + std::to_string(maxDepth_) + " levels");
    ++at_;
    SkipSpace();
    return true;
  }

  bool ParseArray(JsonValue& value, size_t depth) {
    value.kind = JsonValue::Kind::kArray;
    if (!EnterContainer(depth)) return false;
    if (at_ < text_.size() && text_[at_] == ']') {
      ++at_;
      return true;
    }
    for (;;) {
      JsonValue item;
      if (!ParseValue(item, depth)) return false;
      value.items.push_back(std::move(item));
      SkipSpace();
      if (at_ >= text_.size()) return Fail("unexpected end of the document inside an array");
      if (text_[at_] == ']') {
        ++at_;
        return true;
      }
      if (text_[at_] != ',') return Fail("expected ',' or ']' in an array");
      ++at_;
      SkipSpace();
    }
  }

  bool ParseObject(JsonValue& value, size_t depth) {
    value.kind = JsonValue::Kind::kObject;
    if (!EnterContainer(depth)) return false;
    if (at_ < text_.size() && text_[at_] == '}') {
      ++at_;
      return true;
    }
    std::set<std::string> names;
    for (;;) {
      if (at_ >= text_.size() || text_[at_] != '"') return Fail("expected a member name in double quotes");
      const JsonPosition namePosition = Here();
      std::string name;
      if (!ParseString(name)) return false;
      if (!names.insert(name).second) {
        at_ = namePosition.offset;
        return Fail("the member \"" + name + "\" appears twice");
      }
      SkipSpace();
      if (at_ >= text_.size() || text_[at_] != ':') return Fail("expected ':' after a member name");
      ++at_;
      SkipSpace();
      JsonValue member;
      if (!ParseValue(member, depth)) return false;
      value.members.push_back({std::move(name), std::move(member)});
      SkipSpace();
      if (at_ >= text_.size()) return Fail("unexpected end of the document inside an object");
      if (text_[at_] == '}') {
        ++at_;
        return true;
      }
      if (text_[at_] != ',') return Fail("expected ',' or '}' in an object");
      ++at_;
      SkipSpace();
    }
  }

  bool ReadHex4(char32_t& code) {
    if (text_.size() - at_ < 4) return Fail("a \\u escape needs four hex digits");
    code = 0;
    for (int i = 0; i < 4; ++i, ++at_) {
      const int digit = HexDigitValue(text_[at_]);
      if (digit < 0) return Fail("a \\u escape needs four hex digits");
      code = code * 16 + static_cast<char32_t>(digit);
    }
    return true;
  }

  bool ParseUnicodeEscape(std::string& out) {
    char32_t code = 0;
    if (!ReadHex4(code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return Fail("a low surrogate without its high surrogate");
    if (code >= 0xD800 && code <= 0xDBFF) {
      char32_t low = 0;
      if (text_.substr(at_, 2) != "\\u") return Fail("a high surrogate without its low surrogate");
      at_ += 2;
      if (!ReadHex4(low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return Fail("a high surrogate without its low surrogate");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(out, code);
    return true;
  }

  bool ParseString(std::string& out) {
    ++at_;  // the opening quote
    for (;;) {
      if (at_ >= text_.size()) return Fail("unexpected end of the document inside a string");
      const auto c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c < 0x20) return Fail("a control character inside a string (write it as an escape)");
      if (c >= 0x80) {
        char32_t code = 0;
        const size_t length = DecodeUtf8(text_.substr(at_), code);
        if (length == 0) return Fail("a string that is not valid UTF-8");
        out.append(text_.substr(at_, length));
        at_ += length;
        continue;
      }
      ++at_;
      if (c != '\\') {
        out.push_back(static_cast<char>(c));
        continue;
      }
      if (at_ >= text_.size()) return Fail("unexpected end of the document inside a string");
      const char e = text_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out.push_back(e);
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u':
          if (!ParseUnicodeEscape(out)) return false;
          break;
        default:
          --at_;
          return Fail("an unknown escape in a string");
      }
    }
  }

  size_t Digits() {
    const size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ - start;
  }

  bool ParseNumber(JsonValue& value) {
    const size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ >= text_.size() || text_[at_] < '0' || text_[at_] > '9') {
      at_ = start;
      return Fail("unexpected character; expected a JSON value");
    }
    if (text_[at_] == '0') {
      ++at_;
      if (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') return Fail("a number with a leading zero");
    } else {
      Digits();
    }
    bool whole = true;
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      whole = false;
      if (Digits() == 0) return Fail("a number needs digits after its decimal point");
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      whole = false;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (Digits() == 0) return Fail("a number needs digits in its exponent");
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + at_;
    value.kind = JsonValue::Kind::kNumber;
    const auto parsed = std::from_chars(first, last, value.number);
    if (parsed.ec == std::errc::result_out_of_range) {
      // Out of range is either way: strtod tells an underflow, which takes
      // the nearest value (zero or the nearest subnormal), from an overflow.
      value.number = std::strtod(std::string(first, last).c_str(), nullptr);
      if (std::isinf(value.number)) {
        at_ = start;
        return Fail("a number too large to hold");
      }
    } else if (parsed.ec != std::errc()) {
      at_ = start;
      return Fail("a number that cannot be read");
    }
    if (whole) {
      int64_t integer = 0;
      if (std::from_chars(first, last, integer).ec == std::errc()) value.integer = integer;
    }
    return true;
  }

  std::string_view text_;
  size_t maxDepth_;
  size_t values_ = 0;
  size_t at_ = 0;
  size_t line_ = 1;
  size_t lineStart_ = 0;
  std::string error_;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view name) const {
  for (const Member& member : members) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

const char* JsonKindName(JsonValue::Kind kind) {
  switch (kind) {
    case JsonValue::Kind::kNull:
      return "null";
    case JsonValue::Kind::kBool:
      return "a boolean";
    case JsonValue::Kind::kNumber:
      return "a number";
    case JsonValue::Kind::kString:
      return "a string";
    case JsonValue::Kind::kArray:
      return "an array";
    case JsonValue::Kind::kObject:
      return "an object";
  }
  return "a value";
}

Result<JsonValue> ParseJson(std::string_view document, size_t maxDepth) { return Parser(document, maxDepth).Run(); }

}  // namespace kav::tools
