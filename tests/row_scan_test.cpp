// The vector scans of a row block agree with the word-at-a-time ones, bit
// for bit, for a difference or a set byte at every position.
#include "codec/row_scan.h"

#include <gtest/gtest.h>

#include <random>

namespace kav::test {
namespace {

struct Blocks {
  alignas(16) uint8_t row[64 + 1];
  alignas(16) uint8_t seed[64 + 1];
};

TEST(RowScanTest, EveryByteOfABlockIsSeenInItsOwnBit) {
  Blocks blocks{};
  for (unsigned i = 0; i < 64; ++i) {
    blocks.row[i] = 0x80 >> (i % 8);
    EXPECT_TRUE(scan::active::AnyNonZero(blocks.row)) << i;
    EXPECT_TRUE(scan::portable::AnyNonZero(blocks.row)) << i;
    EXPECT_EQ(scan::active::ChangedBits(blocks.row, blocks.seed), uint64_t{1} << i);
    EXPECT_EQ(scan::portable::ChangedBits(blocks.row, blocks.seed), uint64_t{1} << i);
    blocks.row[i] = 0;
  }
  EXPECT_FALSE(scan::active::AnyNonZero(blocks.row));
  EXPECT_FALSE(scan::portable::AnyNonZero(blocks.row));
}

TEST(RowScanTest, VectorAndWordScansAgreeOnUnalignedRandomBlocks) {
  std::mt19937 random(99);
  Blocks blocks{};
  for (int n = 0; n < 20000; ++n) {
    const unsigned shift = n % 2;  // the scans take blocks at any address
    for (unsigned i = 0; i < 64; ++i) {
      blocks.seed[i + shift] = static_cast<uint8_t>(random() % 4);
      blocks.row[i + shift] = random() % 3 == 0 ? static_cast<uint8_t>(random() % 4) : blocks.seed[i + shift];
    }
    const uint8_t* row = blocks.row + shift;
    const uint8_t* seed = blocks.seed + shift;
    ASSERT_EQ(scan::active::ChangedBits(row, seed), scan::portable::ChangedBits(row, seed));
    ASSERT_EQ(scan::active::AnyNonZero(row), scan::portable::AnyNonZero(row));
  }
}

}  // namespace
}  // namespace kav::test
