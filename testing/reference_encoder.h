// The row stream coded the plain way, one byte at a time, straight from the
// format's rules: what the codec's output is held against in the tests and
// the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kav::test {

class ReferenceEncoder {
 public:
  // Rows of `widthBits` bits; `declaredRows` is the image's row count, which
  // decides the row whose pending blank run is written at the end.
  ReferenceEncoder(uint32_t widthBits, uint32_t declaredRows);

  // Codes the row's first B bytes and appends what it writes to `stream`.
  void EncodeRow(const uint8_t* row, std::vector<uint8_t>& stream);

 private:
  void AppendRecord(uint32_t offset);

  uint32_t widthBits_;
  uint32_t rowBytes_;
  uint32_t declaredRows_;
  uint32_t rowCounter_ = 0;
  uint32_t blankRun_ = 0;
  std::vector<uint8_t> seed_;
  std::vector<uint8_t> row_;
  // Kept between rows so that coding a row allocates nothing.
  std::vector<uint8_t> records_;
  uint8_t literals_[8] = {};
  uint32_t literalCount_ = 0;
};

// A whole image of `rows` rows, `stride` bytes apart, declared with as many rows.
std::vector<uint8_t> ReferenceEncode(const uint8_t* image, uint32_t widthBits, uint32_t rows, ptrdiff_t stride);

}  // namespace kav::test
