#include "reference_encoder.h"

namespace kav::test {
namespace {

void AppendContinuedCount(std::vector<uint8_t>& out, uint32_t value) {
  while (value >= 255) {
    out.push_back(0xFF);
    value -= 255;
  }
  out.push_back(static_cast<uint8_t>(value));
}

}  // namespace

ReferenceEncoder::ReferenceEncoder(uint32_t widthBits, uint32_t declaredRows)
    : widthBits_(widthBits),
      rowBytes_((widthBits + 7) / 8),
      declaredRows_(declaredRows),
      seed_(rowBytes_, 0),
      row_(rowBytes_, 0) {}

void ReferenceEncoder::AppendRecord(uint32_t offset) {
  records_.push_back(static_cast<uint8_t>((literalCount_ - 1) << 5 | (offset < 31 ? offset : 31)));
  if (offset >= 31) AppendContinuedCount(records_, offset - 31);
  for (uint32_t i = 0; i < literalCount_; ++i) records_.push_back(literals_[i]);
  literalCount_ = 0;
}

void ReferenceEncoder::EncodeRow(const uint8_t* row, std::vector<uint8_t>& stream) {
  for (uint32_t k = 0; k < rowBytes_; ++k) row_[k] = row[k];
  row_[rowBytes_ - 1] &= static_cast<uint8_t>(0xFF << (8 * rowBytes_ - widthBits_));
  const bool last = rowCounter_ + 1 == declaredRows_;
  ++rowCounter_;

  bool blank = true;
  for (uint32_t k = 0; k < rowBytes_; ++k) {
    if (row_[k] != 0) blank = false;
  }
  if (blank) {
    ++blankRun_;
    seed_ = row_;  // a blank-run item leaves the seed all zeros
    if (last || blankRun_ == 256) {
      stream.push_back(0x01);
      stream.push_back(static_cast<uint8_t>(blankRun_ - 1));
      blankRun_ = 0;
    }
    return;
  }
  if (blankRun_ != 0) {
    stream.push_back(0x01);
    stream.push_back(static_cast<uint8_t>(blankRun_ - 1));
    blankRun_ = 0;
  }
  if (row_ == seed_) {
    stream.push_back(0x00);
    return;
  }
  records_.clear();
  uint32_t position = 0;
  uint32_t offset = 0;
  for (uint32_t k = 0; k < rowBytes_; ++k) {
    if (row_[k] == seed_[k]) {
      if (literalCount_ != 0) {
        AppendRecord(offset);
        position = k;
      }
      continue;
    }
    if (literalCount_ == 0) offset = k - position;
    literals_[literalCount_++] = row_[k];
    if (literalCount_ == 8 || k == rowBytes_ - 1) {
      AppendRecord(offset);
      position = k + 1;
    }
  }
  AppendContinuedCount(stream, static_cast<uint32_t>(records_.size()));
  stream.insert(stream.end(), records_.begin(), records_.end());
  seed_ = row_;
}

std::vector<uint8_t> ReferenceEncode(const uint8_t* image, uint32_t widthBits, uint32_t rows, ptrdiff_t stride) {
  ReferenceEncoder encoder(widthBits, rows);
  std::vector<uint8_t> stream;
  for (uint32_t y = 0; y < rows; ++y) encoder.EncodeRow(image + static_cast<ptrdiff_t>(y) * stride, stream);
  return stream;
}

}  // namespace kav::test
