#include "host/gpd_reader.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <limits>

namespace kav::host::gpd {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }
bool IsSymbolChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The value without a comment that follows it on the line ("*%" outside quotes).
std::string_view WithoutComment(std::string_view text) {
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (!quoted && text.compare(i, 2, "*%") == 0) return text.substr(0, i);
  }
  return text;
}

// The shown form of a value in a message: quoted, cut after 40 bytes.
std::string Shown(std::string_view value) {
  std::string shown(value.substr(0, 40));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
  }
  return "\"" + shown + (value.size() > 40 ? "...\"" : "\"");
}

Error LineError(const std::string& name, uint32_t line, const std::string& message) {
  return Error{name + ": line " + std::to_string(line) + ": " + message};
}

// The parser's place: the blocks open around the current line.
struct Nesting {
  std::vector<std::vector<Statement>*> open;
  std::vector<uint32_t> openedAt;
};

class LineParser {
 public:
  LineParser(File& file) : file_(file) { nesting_.open.push_back(&file_.statements); }

  Status Line(std::string_view text, uint32_t line) {
    text = Trim(text);
    if (text.empty() || text.rfind("*%", 0) == 0) return {};
    if (text.front() == '{') return Open(Trim(WithoutComment(text.substr(1))), line);
    if (text.front() == '}') return Close(Trim(WithoutComment(text.substr(1))), line);
    if (text.front() == '+') return LineError(file_.name, line, "a value continued on a '+' line is not read");
    if (text.front() != '*') return LineError(file_.name, line, "not a statement: " + Shown(text));
    const size_t colon = text.find(':');
    const std::string_view keyword =
        text.substr(1, colon == std::string_view::npos ? std::string_view::npos : colon - 1);
    if (colon == std::string_view::npos || keyword.empty() || !ValidKeyword(keyword)) {
      return LineError(file_.name, line, "not a statement: " + Shown(text));
    }
    std::string_view value = Trim(WithoutComment(text.substr(colon + 1)));
    bool opens = false;
    if (!value.empty() && value.back() == '{') {
      value = Trim(value.substr(0, value.size() - 1));
      opens = true;
    }
    if (++statements_ > kMaxStatements) {
      return LineError(file_.name, line, "more than " + std::to_string(kMaxStatements) + " statements");
    }
    nesting_.open.back()->push_back(Statement{std::string(keyword), std::string(value), line, false, {}});
    return opens ? Open({}, line) : Status{};
  }

  Status End() {
    if (nesting_.open.size() > 1) {
      return LineError(file_.name, nesting_.openedAt.back(), "the block opened here is not closed");
    }
    return {};
  }

 private:
  static bool ValidKeyword(std::string_view keyword) {
    for (size_t i = 0; i < keyword.size(); ++i) {
      const bool last = i + 1 == keyword.size();
      if (!IsSymbolChar(keyword[i]) && !(last && keyword[i] == '?')) return false;
    }
    return true;
  }

  Status Open(std::string_view rest, uint32_t line) {
    std::vector<Statement>& here = *nesting_.open.back();
    if (!rest.empty()) return LineError(file_.name, line, "text after '{': " + Shown(rest));
    if (here.empty() || here.back().hasBlock) return LineError(file_.name, line, "a block that follows no statement");
    if (static_cast<int>(nesting_.open.size()) > kMaxNesting) {
      return LineError(file_.name, line, "blocks nested more than " + std::to_string(kMaxNesting) + " deep");
    }
    here.back().hasBlock = true;
    nesting_.open.push_back(&here.back().block);
    nesting_.openedAt.push_back(line);
    return {};
  }

  Status Close(std::string_view rest, uint32_t line) {
    if (!rest.empty()) return LineError(file_.name, line, "text after '}': " + Shown(rest));
    if (nesting_.open.size() == 1) return LineError(file_.name, line, "a '}' that closes no block");
    nesting_.open.pop_back();
    nesting_.openedAt.pop_back();
    return {};
  }

  File& file_;
  Nesting nesting_;
  size_t statements_ = 0;
};

// The text inside NAME( ... ), split at its commas.
Result<std::vector<std::string_view>> Arguments(std::string_view value, std::string_view name) {
  value = Trim(value);
  if (value.rfind(name, 0) != 0 || value.size() < name.size() + 2 || value[name.size()] != '(' || value.back() != ')') {
    return Error{"expected " + std::string(name) + "(...), not " + Shown(value)};
  }
  std::string_view inside = value.substr(name.size() + 1, value.size() - name.size() - 2);
  std::vector<std::string_view> parts;
  while (true) {
    const size_t comma = inside.find(',');
    parts.push_back(Trim(inside.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    inside.remove_prefix(comma + 1);
  }
  return parts;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of one quoted string's inside: text, and <hex pairs> (spaces allowed).
Result<std::string> StringBytes(std::string_view inside) {
  std::string bytes;
  for (size_t i = 0; i < inside.size(); ++i) {
    if (inside[i] == '%') return Error{"'%' in a string: parameters are not read"};
    if (inside[i] != '<') {
      bytes += inside[i];
      continue;
    }
    const size_t close = inside.find('>', i);
    if (close == std::string_view::npos) return Error{"a '<' without its '>'"};
    int high = -1;
    for (size_t j = i + 1; j < close; ++j) {
      if (IsSpace(inside[j])) continue;
      const int digit = HexDigit(inside[j]);
      if (digit < 0) return Error{"not a hex digit in <...>: " + Shown(inside.substr(j, 1))};
      if (high < 0) {
        high = digit;
      } else {
        bytes += static_cast<char>(high * 16 + digit);
        high = -1;
      }
    }
    if (high >= 0) return Error{"an odd number of hex digits in <...>"};
    i = close;
  }
  return bytes;
}

// A recursive-descent reading of an expression; without `values` it only
// checks the form (every variable reads as 1, nothing is divided).
class ExpressionReader {
 public:
  ExpressionReader(std::string_view text, const std::vector<std::string>& names, const std::vector<int64_t>* values)
      : text_(text), names_(names), values_(values) {}

  Result<int64_t> Whole() {
    Result<int64_t> value = Sum(0);
    if (!value) return value;
    Skip();
    if (at_ != text_.size()) return Error{"unexpected " + Shown(text_.substr(at_)) + " in the expression"};
    return value;
  }

 private:
  // Values stay well inside 64 bits: every operand is bounded by this.
  static constexpr int64_t kLimit = int64_t{1} << 40;

  void Skip() {
    while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
  }

  static Result<int64_t> Bounded(int64_t value) {
    if (value > kLimit || value < -kLimit) return Error{"a value in the expression is out of range"};
    return value;
  }

  Result<int64_t> Sum(int depth) {
    Result<int64_t> left = Product(depth);
    while (left) {
      Skip();
      if (at_ >= text_.size() || (text_[at_] != '+' && text_[at_] != '-')) break;
      const char op = text_[at_++];
      const Result<int64_t> right = Product(depth);
      if (!right) return right;
      left = Bounded(op == '+' ? *left + *right : *left - *right);
    }
    return left;
  }

  Result<int64_t> Product(int depth) {
    Result<int64_t> left = Factor(depth);
    while (left) {
      Skip();
      if (at_ >= text_.size() || (text_[at_] != '*' && text_[at_] != '/')) break;
      const char op = text_[at_++];
      const Result<int64_t> right = Factor(depth);
      if (!right) return right;
      if (op == '*') {
        left = Bounded(*left * *right);
      } else if (*right != 0) {
        left = *left / *right;
      } else if (values_ == nullptr) {
        left = 0;  // only the form is checked
      } else {
        return Error{"the expression divides by zero"};
      }
    }
    return left;
  }

  Result<int64_t> Factor(int depth) {
    Skip();
    if (at_ >= text_.size()) return Error{"the expression ends early"};
    if (text_[at_] == '(') {
      if (depth >= kMaxNesting) return Error{"parentheses nested more than " + std::to_string(kMaxNesting) + " deep"};
      ++at_;
      Result<int64_t> inside = Sum(depth + 1);
      if (!inside) return inside;
      Skip();
      if (at_ >= text_.size() || text_[at_] != ')') return Error{"a '(' without its ')'"};
      ++at_;
      return inside;
    }
    const size_t start = at_;
    while (at_ < text_.size() && IsSymbolChar(text_[at_])) ++at_;
    const std::string_view word = text_.substr(start, at_ - start);
    if (word.empty()) return Error{"unexpected " + Shown(text_.substr(start)) + " in the expression"};
    if (std::isdigit(static_cast<unsigned char>(word.front())) != 0) return Integer(word);
    for (size_t i = 0; i < names_.size(); ++i) {
      if (word == names_[i]) return values_ == nullptr ? int64_t{1} : (*values_)[i];
    }
    return Error{"the variable " + Shown(word) + " is not one the host supplies"};
  }

  std::string_view text_;
  const std::vector<std::string>& names_;
  const std::vector<int64_t>* values_;
  size_t at_ = 0;
};

}  // namespace

Result<File> Parse(std::string_view text, const std::string& name) {
  File file{name, {}};
  if (text.size() > kMaxFileBytes) {
    return Error{name + ": more than " + std::to_string(kMaxFileBytes) + " bytes, more than a description may have"};
  }
  if (text.find('\0') != std::string_view::npos) return Error{name + ": holds a NUL byte; not a text file"};
  LineParser parser(file);
  uint32_t line = 0;
  while (!text.empty()) {
    ++line;
    const size_t end = text.find('\n');
    std::string_view current = text.substr(0, end);
    if (!current.empty() && current.back() == '\r') current.remove_suffix(1);
    if (const Status read = parser.Line(current, line); !read) return read.failure();
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  if (const Status ended = parser.End(); !ended) return ended.failure();
  return file;
}

Result<File> ReadFile(const std::string& path) {
  std::error_code error;
  const std::filesystem::path where(path);
  if (!std::filesystem::is_regular_file(where, error)) return Error{"cannot read " + path + ": not a regular file"};
  const uintmax_t size = std::filesystem::file_size(where, error);
  if (error) return Error{"cannot read " + path + ": " + error.message()};
  if (size > kMaxFileBytes) {
    return Error{path + ": " + std::to_string(size) + " bytes, more than the " + std::to_string(kMaxFileBytes) +
                 " a description may have"};
  }
  std::ifstream in(where, std::ios::binary);
  std::string text(static_cast<size_t>(size), '\0');
  if (!in.read(text.data(), static_cast<std::streamsize>(size))) return Error{"cannot read " + path};
  return Parse(text, path);
}

Error At(const File& file, const Statement& statement, const std::string& message) {
  return LineError(file.name, statement.line, "*" + statement.keyword + ": " + message);
}

Result<int64_t> Integer(std::string_view value) {
  value = Trim(value);
  int64_t number = 0;
  const auto parsed = std::from_chars(value.data(), value.data() + value.size(), number);
  if (value.empty() || parsed.ec != std::errc() || parsed.ptr != value.data() + value.size() ||
      number > std::numeric_limits<int32_t>::max() || number < std::numeric_limits<int32_t>::min()) {
    return Error{"expected a whole number, not " + Shown(value)};
  }
  return number;
}

Result<std::pair<int64_t, int64_t>> Pair(std::string_view value) {
  const auto parts = Arguments(value, "PAIR");
  if (!parts) return parts.failure();
  if (parts->size() != 2) return Error{"PAIR holds two numbers"};
  const Result<int64_t> first = Integer((*parts)[0]);
  const Result<int64_t> second = Integer((*parts)[1]);
  if (!first) return first.failure();
  if (!second) return second.failure();
  return std::make_pair(*first, *second);
}

Result<std::vector<std::string>> List(std::string_view value) {
  const auto parts = Arguments(value, "LIST");
  if (!parts) return parts.failure();
  std::vector<std::string> names;
  for (std::string_view part : *parts) {
    Result<std::string> name = Symbol(part);
    if (!name) return name.failure();
    names.push_back(std::move(*name));
  }
  return names;
}

Result<std::string> Symbol(std::string_view value) {
  value = Trim(value);
  if (!value.empty() && value.front() == '=') return Error{"macro references (=NAME) are not read"};
  bool valid = !value.empty();
  for (char c : value) valid = valid && IsSymbolChar(c);
  if (!valid) return Error{"expected a name, not " + Shown(value)};
  return std::string(value);
}

Result<bool> Boolean(std::string_view value) {
  value = Trim(value);
  if (value == "TRUE") return true;
  if (value == "FALSE") return false;
  return Error{"expected TRUE or FALSE, not " + Shown(value)};
}

Result<std::string> QuotedBytes(std::string_view value) {
  value = Trim(value);
  if (value.empty() || value.front() != '"') return Error{"expected a quoted string, not " + Shown(value)};
  std::string bytes;
  while (!value.empty()) {
    if (value.front() != '"') return Error{"text between the strings: " + Shown(value)};
    const size_t close = value.find('"', 1);
    if (close == std::string_view::npos) return Error{"a string without its closing quote"};
    Result<std::string> part = StringBytes(value.substr(1, close - 1));
    if (!part) return part.failure();
    bytes += *part;
    value = Trim(value.substr(close + 1));
  }
  return bytes;
}

Result<Expression> Expression::Parse(std::string_view value, const std::vector<std::string>& names) {
  value = Trim(value);
  if (value.rfind("%d{", 0) != 0 || value.back() != '}') return Error{"expected %d{expression}, not " + Shown(value)};
  Expression expression;
  expression.text_ = std::string(value.substr(3, value.size() - 4));
  expression.names_ = names;
  const Result<int64_t> checked = ExpressionReader(expression.text_, names, nullptr).Whole();
  if (!checked) return checked.failure();
  return expression;
}

Result<int64_t> Expression::Evaluate(const std::vector<int64_t>& values) const {
  if (values.size() != names_.size()) return Error{"the expression is given the wrong number of values"};
  return ExpressionReader(text_, names_, &values).Whole();
}

}  // namespace kav::host::gpd
