// The reader of the string-table resource script for the Linux build's note
// generator (string_script.h).
#include "string_script.h"

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/wide_text.h"

namespace kav::string_note {
namespace {

struct ScriptError : std::runtime_error {
  ScriptError(int where, const std::string& message) : std::runtime_error(message), line(where) {}
  int line;
};

enum class TokenKind { kWord, kText, kComma, kDirective, kEnd };

struct Token {
  TokenKind kind;
  std::string text;  // a word, a directive line, or a text with its quotes resolved
  int line;
};

class Lexer {
 public:
  explicit Lexer(std::string source) : source_(std::move(source)) {}

  Token Next() {
    SkipSpaceAndComments();
    if (at_ >= source_.size()) return {TokenKind::kEnd, "", line_};
    const char c = source_[at_];
    if (c == ',') {
      ++at_;
      return {TokenKind::kComma, ",", line_};
    }
    if (c == '"') return Text();
    if (c == '#') return Directive();
    if (c == '{' || c == '}') {
      ++at_;
      return {TokenKind::kWord, c == '{' ? "BEGIN" : "END", line_};
    }
    if (IsWordChar(c)) {
      const size_t start = at_;
      while (at_ < source_.size() && IsWordChar(source_[at_])) ++at_;
      return {TokenKind::kWord, source_.substr(start, at_ - start), line_};
    }
    throw ScriptError(line_, std::string("unexpected character '") + c + "'");
  }

 private:
  static bool IsWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  }

  void SkipSpaceAndComments() {
    while (at_ < source_.size()) {
      const char c = source_[at_];
      if (c == '\n') {
        ++line_;
        ++at_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++at_;
      } else if (source_.compare(at_, 2, "//") == 0) {
        while (at_ < source_.size() && source_[at_] != '\n') ++at_;
      } else if (source_.compare(at_, 2, "/*") == 0) {
        const size_t end = source_.find("*/", at_ + 2);
        if (end == std::string::npos) throw ScriptError(line_, "unterminated comment");
        for (size_t i = at_; i < end; ++i) line_ += source_[i] == '\n' ? 1 : 0;
        at_ = end + 2;
      } else {
        return;
      }
    }
  }

  // Escape sequences are refused rather than interpreted, so that no text
  // can mean one thing to the resource compiler and another here.
  Token Text() {
    const int line = line_;
    std::string text;
    for (++at_;; ++at_) {
      if (at_ >= source_.size() || source_[at_] == '\n') throw ScriptError(line, "unterminated text");
      const char c = source_[at_];
      if (c == '\\') throw ScriptError(line, "escape sequences are not supported in texts");
      if (c == '"') {
        if (at_ + 1 < source_.size() && source_[at_ + 1] == '"') {
          text.push_back('"');
          ++at_;
          continue;
        }
        ++at_;
        return {TokenKind::kText, text, line};
      }
      text.push_back(c);
    }
  }

  Token Directive() {
    const size_t end = std::min(source_.find('\n', at_), source_.size());
    Token token{TokenKind::kDirective, source_.substr(at_, end - at_), line_};
    at_ = end;
    return token;
  }

  std::string source_;
  size_t at_ = 0;
  int line_ = 1;
};

std::string WithoutSpaces(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r') out.push_back(c);
  }
  return out;
}

unsigned ParseNumber(const Token& token) {
  const std::string& word = token.text;
  const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
  const std::string digits = hex ? word.substr(2) : word;
  if (digits.empty() || digits.size() > 8) throw ScriptError(token.line, "not a number: " + word);
  unsigned long value = 0;
  for (char c : digits) {
    const int digit = c >= '0' && c <= '9'          ? c - '0'
                      : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                    : -1;
    if (digit < 0) throw ScriptError(token.line, "not a number: " + word);
    value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
  }
  return static_cast<unsigned>(value);
}

// A language part by its resource-header name, or as a number.
unsigned LanguagePart(const Token& token) {
  static const std::map<std::string, unsigned> kNames = {
      {"LANG_NEUTRAL", 0x00},    {"LANG_ENGLISH", 0x09},    {"LANG_JAPANESE", 0x11},
      {"SUBLANG_NEUTRAL", 0x00}, {"SUBLANG_DEFAULT", 0x01}, {"SUBLANG_ENGLISH_US", 0x01},
  };
  if (token.kind != TokenKind::kWord) throw ScriptError(token.line, "a language part is expected");
  const auto named = kNames.find(token.text);
  return named != kNames.end() ? named->second : ParseNumber(token);
}

class Parser {
 public:
  explicit Parser(std::string source) : lexer_(std::move(source)) {}

  StringScript Parse() {
    Token token = lexer_.Next();
    for (; token.kind != TokenKind::kEnd; token = lexer_.Next()) {
      if (token.kind == TokenKind::kDirective) {
        Directive(token);
      } else if (token.kind == TokenKind::kWord && token.text == "LANGUAGE") {
        Language();
      } else if (token.kind == TokenKind::kWord && token.text == "STRINGTABLE") {
        Strings(token.line);
      } else {
        throw ScriptError(token.line, "unexpected '" + token.text + "'");
      }
    }
    if (table_.texts.empty()) throw ScriptError(token.line, "the script holds no strings");
    return std::move(table_);
  }

 private:
  void Directive(const Token& token) {
    const std::string directive = WithoutSpaces(token.text);
    if (directive.rfind("#include", 0) == 0) return;  // headers of the resource compiler
    if (directive == "#pragmacode_page(65001)") {
      utf8_ = true;
      return;
    }
    throw ScriptError(token.line, "unsupported directive: " + token.text);
  }

  void Language() {
    const Token primaryToken = lexer_.Next();
    const unsigned primary = LanguagePart(primaryToken);
    Expect(TokenKind::kComma, ",");
    const unsigned sub = LanguagePart(lexer_.Next());
    if (primary > 0x3FF || sub > 0x3F) throw ScriptError(primaryToken.line, "language out of range");
    language_ = static_cast<uint16_t>(sub << 10 | primary);
  }

  void Strings(int line) {
    if (!language_) throw ScriptError(line, "STRINGTABLE before any LANGUAGE statement");
    if (tableLanguage_ && *tableLanguage_ != *language_) {
      throw ScriptError(line, "the string table may have one language only");
    }
    tableLanguage_ = language_;
    table_.language = *language_;
    Expect(TokenKind::kWord, "BEGIN");
    for (Token token = lexer_.Next(); !(token.kind == TokenKind::kWord && token.text == "END"); token = lexer_.Next()) {
      if (token.kind != TokenKind::kWord) throw ScriptError(token.line, "a string id or END is expected");
      const unsigned id = ParseNumber(token);
      if (id > 0xFFFF) throw ScriptError(token.line, "string id out of range: " + token.text);
      Token text = lexer_.Next();
      if (text.kind == TokenKind::kComma) text = lexer_.Next();
      if (text.kind != TokenKind::kText) throw ScriptError(text.line, "a quoted text is expected");
      Add(id, text);
    }
  }

  void Add(unsigned id, const Token& text) {
    bool ascii = true;
    for (char c : text.text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (!ascii && !utf8_) throw ScriptError(text.line, "texts beyond ASCII need #pragma code_page(65001) first");
    if (!IsValidUtf8(text.text)) throw ScriptError(text.line, "text is not valid UTF-8");
    std::u16string wide = ToWide(text.text);
    if (wide.size() > 0xFFFF) throw ScriptError(text.line, "text too long");
    if (!table_.texts.emplace(static_cast<uint16_t>(id), std::move(wide)).second) {
      throw ScriptError(text.line, "string id " + std::to_string(id) + " given twice");
    }
  }

  void Expect(TokenKind kind, const std::string& text) {
    const Token token = lexer_.Next();
    if (token.kind != kind || token.text != text) throw ScriptError(token.line, "'" + text + "' is expected");
  }

  Lexer lexer_;
  StringScript table_;
  std::optional<uint16_t> language_;       // of the last LANGUAGE statement
  std::optional<uint16_t> tableLanguage_;  // of the first STRINGTABLE
  bool utf8_ = false;
};

}  // namespace

std::optional<StringScript> ReadStringScript(const std::string& source, std::string& error) {
  try {
    return Parser(source).Parse();
  } catch (const ScriptError& failure) {
    error = "line " + std::to_string(failure.line) + ": " + failure.what();
    return std::nullopt;
  }
}

}  // namespace kav::string_note
