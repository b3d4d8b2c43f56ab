// A small strict JSON reader (RFC 8259) for the tools' scripts: no comments,
// no trailing commas, no duplicate member names, a bounded nesting depth,
// and every value remembers where it stood so callers can name it in errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/result.h"

namespace kav::tools {

struct JsonPosition {
  size_t offset = 0;  // byte offset in the document
  size_t line = 1;
  size_t column = 1;  // in bytes, from 1
};

struct JsonMember;

class JsonValue {
 public:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  using Member = JsonMember;

  Kind kind = Kind::kNull;
  JsonPosition position;
  bool boolean = false;
  double number = 0;
  // Set when the number was written as an integer (no fraction, no exponent)
  // that fits in 64 bits; scripts take their counts and sizes from here.
  std::optional<int64_t> integer;
  std::string text;  // strings, as UTF-8
  std::vector<JsonValue> items;
  std::vector<Member> members;  // in document order

  bool IsNull() const { return kind == Kind::kNull; }
  bool IsObject() const { return kind == Kind::kObject; }
  bool IsArray() const { return kind == Kind::kArray; }
  // The member `name` of an object, or null when there is none.
  const JsonValue* Find(std::string_view name) const;
};

// A member of an object: its name and its value.
struct JsonMember {
  std::string first;
  JsonValue second;
};

const char* JsonKindName(JsonValue::Kind kind);

inline constexpr size_t kJsonMaxDepth = 64;
// Each value costs a few hundred bytes in the tree; this keeps the tree of
// any document under about 150 MB.
inline constexpr size_t kJsonMaxValues = size_t{1} << 18;

// A malformed document is refused with "line 3, column 7 (byte 41): ...".
Result<JsonValue> ParseJson(std::string_view document, size_t maxDepth = kJsonMaxDepth);

}  // namespace kav::tools
