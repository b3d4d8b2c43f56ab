// The exchange of each pixel's first and third byte, linked in directly: into
// a separate row and in place, for every width around the twenty-pixel steps
// of the shuffle, and never touching a byte past the row.
#include "render/pixel_order.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace kav::test {
namespace {

std::vector<BYTE> Numbered(size_t count) {
  std::vector<BYTE> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<BYTE>(i * 7 + 1);
  return bytes;
}

std::vector<BYTE> Exchanged(const std::vector<BYTE>& pixels, DWORD width) {
  std::vector<BYTE> want = pixels;
  for (DWORD x = 0; x < width; ++x) std::swap(want[3 * x], want[3 * x + 2]);
  return want;
}

TEST(PixelOrderTest, EveryPixelOfEveryWidthIsExchangedIntoARowAndInPlace) {
  constexpr BYTE kGuard = 0xA5;
  for (DWORD width = 1; width <= 100; ++width) {
    SCOPED_TRACE(width);
    const std::vector<BYTE> source = Numbered(3 * width);
    const std::vector<BYTE> want = Exchanged(source, width);

    std::vector<BYTE> row(3 * width + 1, kGuard);
    ExchangeFirstAndThirdBytes(source.data(), row.data(), width);
    EXPECT_EQ(std::vector<BYTE>(row.begin(), row.end() - 1), want);
    EXPECT_EQ(row.back(), kGuard);

    std::vector<BYTE> inPlace = source;
    inPlace.push_back(kGuard);
    ExchangeFirstAndThirdBytes(inPlace.data(), inPlace.data(), width);
    EXPECT_EQ(std::vector<BYTE>(inPlace.begin(), inPlace.end() - 1), want);
    EXPECT_EQ(inPlace.back(), kGuard);
  }
}

TEST(PixelOrderTest, ABandIsExchangedRowByRowLeavingTheFillAndASecondPassUndoesIt) {
  constexpr DWORD kWidth = 13;
  constexpr DWORD kRows = 3;
  constexpr DWORD kStride = 3 * kWidth + 5;
  const std::vector<BYTE> band = Numbered(size_t{kStride} * kRows);
  std::vector<BYTE> want = band;
  for (DWORD y = 0; y < kRows; ++y) {
    for (DWORD x = 0; x < kWidth; ++x) std::swap(want[y * kStride + 3 * x], want[y * kStride + 3 * x + 2]);
  }
  std::vector<BYTE> bits = band;
  ExchangeFirstAndThirdBytesInBand(bits.data(), kWidth, kRows, kStride);
  EXPECT_EQ(bits, want);
  ExchangeFirstAndThirdBytesInBand(bits.data(), kWidth, kRows, kStride);
  EXPECT_EQ(bits, band);
}

}  // namespace
}  // namespace kav::test
