// Takes typed values off the front of a fuzzer's input; once the input runs
// out every value is zero, so any input is a valid sequence of choices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kav::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  template <class T>
  T Take() {
    T value{};
    const size_t count = size_ < sizeof(T) ? size_ : sizeof(T);
    if (count != 0) std::memcpy(&value, data_, count);
    data_ += count;
    size_ -= count;
    return value;
  }

  // A value in [low, high].
  uint32_t TakeInRange(uint32_t low, uint32_t high);

  // Up to `count` bytes; the rest of the span is zero.
  void Fill(uint8_t* out, size_t count);

  std::vector<uint8_t> TakeRest();
  size_t remaining() const { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace kav::fuzz

// Always-on check: a fuzz finding must stop the program in every build type.
#define FUZZ_CHECK(condition)                                                   \
  do {                                                                          \
    if (!(condition)) ::kav::fuzz::CheckFailed(#condition, __FILE__, __LINE__); \
  } while (0)

namespace kav::fuzz {
[[noreturn]] void CheckFailed(const char* condition, const char* file, int line);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
