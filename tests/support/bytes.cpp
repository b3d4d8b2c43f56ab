#include "bytes.h"

#include <stdexcept>

#include "support/hex.h"

namespace kav::test {

Bytes Hex(std::string_view text) {
  Bytes out;
  if (tools::ParseHex(text, out) != std::string_view::npos)
    throw std::invalid_argument("not hex digit pairs in test data");
  return out;
}

std::string ToHex(const Bytes& bytes, size_t limit) {
  std::string out;
  tools::AppendHex(out, bytes.data(), bytes.size() < limit ? bytes.size() : limit, ' ');
  if (bytes.size() > limit) out += " ...";
  return out;
}

::testing::AssertionResult SameBytes(const Bytes& got, const Bytes& want) {
  const size_t common = got.size() < want.size() ? got.size() : want.size();
  for (size_t i = 0; i < common; ++i) {
    if (got[i] != want[i]) {
      return ::testing::AssertionFailure()
             << "first difference at offset " << i << ": got " << tools::ByteText(got[i]) << " (expected "
             << tools::ByteText(want[i]) << ")\n  got:      " << ToHex(got) << "\n  expected: " << ToHex(want);
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
