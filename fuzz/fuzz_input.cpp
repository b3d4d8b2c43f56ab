#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>

namespace kav::fuzz {

uint32_t FuzzInput::TakeInRange(uint32_t low, uint32_t high) {
  const auto raw = Take<uint32_t>();
  const uint64_t span = uint64_t{high} - low + 1;
  return low + static_cast<uint32_t>(raw % span);
}

void FuzzInput::Fill(uint8_t* out, size_t count) {
  const size_t taken = size_ < count ? size_ : count;
  if (taken != 0) std::memcpy(out, data_, taken);
  std::memset(out + taken, 0, count - taken);
  data_ += taken;
  size_ -= taken;
}

std::vector<uint8_t> FuzzInput::TakeRest() {
  std::vector<uint8_t> rest(data_, data_ + size_);
  data_ += size_;
  size_ = 0;
  return rest;
}

void CheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

}  // namespace kav::fuzz
