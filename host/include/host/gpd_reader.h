// The text of a printer description data file (GPD) as Unidrv reads it:
// statements "*Keyword: value", the block in braces that follows a statement,
// and comments from "*%" to the end of the line; and the forms a value takes.
// What the statements mean is read in printer_description.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/result.h"

namespace kav::host::gpd {

// What the reader takes from any file, whatever the file claims.
inline constexpr size_t kMaxFileBytes = 1 << 20;
inline constexpr int kMaxNesting = 8;            // blocks within blocks
inline constexpr size_t kMaxStatements = 65536;  // in the whole file

struct Statement {
  std::string keyword;  // as written after the '*': "Feature", "Color?", ...
  std::string value;    // the text after the colon, without the spaces around it
  uint32_t line = 0;
  bool hasBlock = false;
  std::vector<Statement> block;
};

struct File {
  std::string name;  // as messages name it
  std::vector<Statement> statements;
};

// Reads the file at `path` (a regular file of at most kMaxFileBytes).
Result<File> ReadFile(const std::string& path);
// The statements of `text`; `name` is the file's name in messages.
Result<File> Parse(std::string_view text, const std::string& name);

// "kav.gpd: line 12: *DrvBPP" before `message`, the form every failure to
// understand a statement takes.
Error At(const File& file, const Statement& statement, const std::string& message);

// The forms of a value; each failure says what the value should be.
Result<int64_t> Integer(std::string_view value);
Result<std::pair<int64_t, int64_t>> Pair(std::string_view value);
// LIST(a, b, ...) of symbols.
Result<std::vector<std::string>> List(std::string_view value);
// A name: letters, digits and '_' (CUSTOMSIZE, PAGE_SETUP, HT_PATSIZE_8x8).
Result<std::string> Symbol(std::string_view value);
Result<bool> Boolean(std::string_view value);
// One or more quoted strings, each holding text and <hex> byte pairs; the bytes.
Result<std::string> QuotedBytes(std::string_view value);

// "%d{expression}" over integers, the four operations, parentheses and the
// variables `names`; the expression is checked now and evaluated with the
// variables' values later.
class Expression {
 public:
  static Result<Expression> Parse(std::string_view value, const std::vector<std::string>& names);
  // `values` in the order of the names given to Parse.
  Result<int64_t> Evaluate(const std::vector<int64_t>& values) const;

 private:
  std::string text_;  // the part inside the braces
  std::vector<std::string> names_;
};

}  // namespace kav::host::gpd
