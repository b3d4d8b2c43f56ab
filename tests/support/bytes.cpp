#include "bytes.h"

#include <cstdio>
#include <stdexcept>

namespace kav::test {

Bytes Hex(std::string_view text) {
  Bytes out;
  int high = -1;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) {
      if (c == ' ' || c == ',' || c == '\n') continue;
      throw std::invalid_argument("not a hex digit in test data");
    }
    if (high < 0) {
      high = digit;
    } else {
      out.push_back(static_cast<uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd number of hex digits in test data");
  return out;
}

std::string ToHex(const Bytes& bytes, size_t limit) {
  std::string out;
  char digits[4];
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    if (i != 0) out += ' ';
    out += digits;
  }
  if (bytes.size() > limit) out += " ...";
  return out;
}

::testing::AssertionResult SameBytes(const Bytes& got, const Bytes& want) {
  const size_t common = got.size() < want.size() ? got.size() : want.size();
  for (size_t i = 0; i < common; ++i) {
    if (got[i] != want[i]) {
      char line[96];
      std::snprintf(line, sizeof line, "first difference at offset %zu: got %02x (expected %02x)", i, got[i], want[i]);
      return ::testing::AssertionFailure() << line << "\n  got:      " << ToHex(got) << "\n  expected: " << ToHex(want);
    }
  }
  if (got.size() != want.size()) {
    return ::testing::AssertionFailure() << "lengths differ: got " << got.size() << " bytes (expected " << want.size()
                                         << ")\n  got:      " << ToHex(got) << "\n  expected: " << ToHex(want);
  }
  return ::testing::AssertionSuccess();
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

}  // namespace kav::test
