// The codec handle's states and failure answers, argument by argument, with
// allocation failures injected; every global block comes back.
#include <gtest/gtest.h>

#include <vector>

#include "codec_fixture.h"

namespace kav::test {
namespace {

class CodecHandleTest : public CodecTest {
 protected:
  void SetUp() override {
    CodecTest::SetUp();
    handle = codec.LoadCompress();
    ASSERT_NE(handle, nullptr);
  }
  void TearDown() override {
    ResetStandins();
    if (handle != nullptr) {
      EXPECT_EQ(codec.FreeCompress(handle), 0);
    }
    CodecTest::TearDown();
  }

  // Whether the handle has an image open: coding a row then succeeds.
  bool ImageOpen() {
    const uint8_t row[4] = {};
    return codec.CompressBitmap(handle, row, 0, nullptr) == 0;
  }

  CompressHandle* handle = nullptr;
};

const Bytes kRow = Hex("12 34 56 78");

TEST_F(CodecHandleTest, NullHandleFailsEverywhereButFree) {
  uint32_t size = 77;
  uint8_t out[4];
  EXPECT_EQ(codec.InitBitmap(nullptr, 1, 8, 1, 1), 1);
  EXPECT_EQ(codec.CompressBitmap(nullptr, kRow.data(), 1, &size), 1);
  EXPECT_EQ(size, 77u);  // untouched
  EXPECT_EQ(codec.GetBitmap(nullptr, out), 1);
  EXPECT_EQ(codec.FinishBitmap(nullptr), 1);
  EXPECT_EQ(codec.FreeCompress(nullptr), 0);
}

TEST_F(CodecHandleTest, InitRefusesOtherModesAndWidthZeroAndClosesTheOpenImage) {
  for (int32_t mode : {0, 2, -1}) {
    ASSERT_EQ(codec.InitBitmap(handle, 1, 32, 4, 4), 0);
    EXPECT_EQ(codec.InitBitmap(handle, mode, 32, 4, 4), 1) << "mode " << mode;
    EXPECT_FALSE(ImageOpen()) << "mode " << mode;
    EXPECT_EQ(codec.FinishBitmap(handle), 1);
  }
  ASSERT_EQ(codec.InitBitmap(handle, 1, 32, 4, 4), 0);
  EXPECT_EQ(codec.InitBitmap(handle, 1, 0, 4, 4), 1);
  EXPECT_FALSE(ImageOpen());
}

TEST_F(CodecHandleTest, CompressNeedsAnOpenImageAndReportsWhatIsUncollected) {
  uint32_t size = 77;
  EXPECT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, &size), 1);
  EXPECT_EQ(size, 0u);

  ASSERT_EQ(codec.InitBitmap(handle, 1, 32, 2, 4), 0);
  ASSERT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, &size), 0);
  EXPECT_EQ(size, 6u);  // 05 60 12 34 56 78
  ASSERT_EQ(codec.FinishBitmap(handle), 0);
  EXPECT_EQ(codec.FinishBitmap(handle), 1);
  // After the image is closed nothing is coded, and the earlier output is still there to collect.
  EXPECT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, &size), 1);
  EXPECT_EQ(size, 6u);
  EXPECT_TRUE(SameBytes(Collect(handle, size), Hex("05 60 12 34 56 78")));
  EXPECT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, &size), 1);
  EXPECT_EQ(size, 0u);
}

TEST_F(CodecHandleTest, NullSourceFailsUnlessThereAreNoRows) {
  ASSERT_EQ(codec.InitBitmap(handle, 1, 32, 2, 4), 0);
  uint32_t size = 77;
  EXPECT_EQ(codec.CompressBitmap(handle, nullptr, 1, &size), 1);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(codec.CompressBitmap(handle, nullptr, 0, &size), 0);
  EXPECT_EQ(size, 0u);
  // Nothing was coded: the image goes on from its first row.
  ASSERT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, &size), 0);
  EXPECT_TRUE(SameBytes(Collect(handle, size), Hex("05 60 12 34 56 78")));
}

TEST_F(CodecHandleTest, OutputIsCollectedOnceAndNeedsADestination) {
  ASSERT_EQ(codec.InitBitmap(handle, 1, 32, 2, 4), 0);
  uint32_t size = 0;
  ASSERT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, &size), 0);
  EXPECT_EQ(codec.GetBitmap(handle, nullptr), 1);
  Bytes out(8, 0xEE);
  EXPECT_EQ(codec.GetBitmap(handle, out.data()), 0);
  EXPECT_TRUE(SameBytes(out, Hex("05 60 12 34 56 78 EE EE")));
  Bytes again(8, 0xEE);
  EXPECT_EQ(codec.GetBitmap(handle, again.data()), 0);
  EXPECT_TRUE(SameBytes(again, Bytes(8, 0xEE)));
  // Uncollected output is replaced by the next call's.
  ASSERT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, &size), 0);
  ASSERT_EQ(codec.CompressBitmap(handle, kRow.data(), 0, &size), 0);
  EXPECT_EQ(size, 0u);
}

TEST_F(CodecHandleTest, FreeingAnOpenImageClosesIt) {
  ASSERT_EQ(codec.InitBitmap(handle, 1, 32, 3, 4), 0);
  ASSERT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, nullptr), 0);
  EXPECT_EQ(codec.FreeCompress(handle), 0);
  handle = nullptr;
}

// The seed row starts all zero for every image, whether the row blocks were
// kept or grown, so a first row equal to the last row of the previous image
// is still a changed row.
TEST_F(CodecHandleTest, ReopeningWithOtherWidthsStartsFromAZeroSeed) {
  const Bytes wide = Hex("11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 01");
  ASSERT_EQ(codec.InitBitmap(handle, 1, 128, 1, 16), 0);
  uint32_t size = 0;
  ASSERT_EQ(codec.CompressBitmap(handle, wide.data(), 1, &size), 0);
  ASSERT_EQ(size, 19u);  // 12 E0 11..88 E0 99..01
  ASSERT_EQ(codec.FinishBitmap(handle), 0);

  // Smaller: no new block is needed, so it works even with allocation failing.
  if (standins != nullptr) standins->FailGlobalAlloc({1, true});
  ASSERT_EQ(codec.InitBitmap(handle, 1, 32, 1, 4), 0);
  ResetStandins();
  ASSERT_EQ(codec.CompressBitmap(handle, wide.data(), 1, &size), 0);
  EXPECT_TRUE(SameBytes(Collect(handle, size), Hex("05 60 11 22 33 44")));
  ASSERT_EQ(codec.FinishBitmap(handle), 0);

  // Larger: the blocks grow, and the seed is zero over the whole new width.
  Bytes wider(200, 0);
  wider[190] = 0x5A;
  ASSERT_EQ(codec.InitBitmap(handle, 1, 1600, 2, 200), 0);
  ASSERT_EQ(codec.CompressBitmap(handle, wider.data(), 1, &size), 0);
  EXPECT_TRUE(SameBytes(Collect(handle, size), Hex("03 1F 9F 5A")));
  // Re-opening without finishing closes the open image first.
  ASSERT_EQ(codec.InitBitmap(handle, 1, 1600, 2, 200), 0);
  ASSERT_EQ(codec.CompressBitmap(handle, wider.data(), 1, &size), 0);
  EXPECT_TRUE(SameBytes(Collect(handle, size), Hex("03 1F 9F 5A")));
}

TEST_F(CodecHandleTest, OutputOfMoreThan4GiBIsRefused) {
  ASSERT_EQ(codec.InitBitmap(handle, 1, 8u << 20, 2100, 1 << 20), 0);  // rows of 1 MiB
  uint32_t size = 77;
  // The source is never read: the call fails before it codes anything.
  EXPECT_EQ(codec.CompressBitmap(handle, kRow.data(), 2100, &size), 1);
  EXPECT_EQ(size, 0u);
}

class CodecAllocationTest : public CodecTest {
 protected:
  void SetUp() override {
    CodecTest::SetUp();
    if (standins == nullptr) GTEST_SKIP() << "allocation failures are injected by the Linux stand-ins only";
  }
};

TEST_F(CodecAllocationTest, LoadReleasesWhatItTookWhenABlockIsMissing) {
  for (unsigned nth : {1u, 2u}) {
    standins->FailGlobalAlloc({nth, false});
    EXPECT_EQ(codec.LoadCompress(), nullptr) << "allocation " << nth;
    EXPECT_EQ(standins->LiveGlobalBlocks(), globalBlocksAtStart) << "allocation " << nth;
  }
}

// Each allocation of a first image, and of an image that needs the blocks
// grown, failing in turn: the image is not opened, the handle stays usable,
// and the next open succeeds.
TEST_F(CodecAllocationTest, InitFailsCleanlyAtEveryAllocation) {
  const Bytes ones(1000, 1);
  CompressHandle* handle = codec.LoadCompress();
  ASSERT_NE(handle, nullptr);
  for (const bool growing : {false, true}) {
    for (unsigned nth = 1;; ++nth) {
      if (growing) {
        ASSERT_EQ(codec.InitBitmap(handle, 1, 64, 1, 8), 0);
      }
      standins->FailGlobalAlloc({nth, true});
      const int result = codec.InitBitmap(handle, 1, 8000, 1, 1000);
      standins->Reset();
      if (result == 0) break;
      ASSERT_LT(nth, 10u) << "the open never succeeds";
      EXPECT_EQ(codec.CompressBitmap(handle, ones.data(), 1, nullptr), 1) << "allocation " << nth;
    }
    uint32_t size = 0;
    ASSERT_EQ(codec.CompressBitmap(handle, ones.data(), 1, &size), 0);
    EXPECT_EQ(size, 1130u);  // FF FF FF FF 69, then 125 records of 8
    ASSERT_EQ(codec.FinishBitmap(handle), 0);
    if (!growing) {  // a fresh handle, whose blocks are to grow
      ASSERT_EQ(codec.FreeCompress(handle), 0);
      handle = codec.LoadCompress();
      ASSERT_NE(handle, nullptr);
    }
  }
  // A block that cannot grow in place is replaced by a fresh one.
  standins->FailGlobalAlloc({1, false});
  ASSERT_EQ(codec.InitBitmap(handle, 1, 16000, 1, 2000), 0);
  uint32_t size = 0;
  ASSERT_EQ(codec.CompressBitmap(handle, Bytes(2000, 0).data(), 1, &size), 0);
  EXPECT_TRUE(SameBytes(Collect(handle, size), Hex("01 00")));
  EXPECT_EQ(codec.FreeCompress(handle), 0);
}

TEST_F(CodecAllocationTest, CompressWithoutItsOutputBlockKeepsTheImageOpen) {
  CompressHandle* handle = codec.LoadCompress();
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(codec.InitBitmap(handle, 1, 32, 2, 4), 0);
  uint32_t size = 0;
  ASSERT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, &size), 0);
  standins->FailGlobalAlloc({1, false});
  EXPECT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, &size), 1);
  EXPECT_EQ(size, 0u);  // the earlier output is gone and nothing replaces it
  Bytes out(4, 0xEE);
  EXPECT_EQ(codec.GetBitmap(handle, out.data()), 0);
  EXPECT_TRUE(SameBytes(out, Bytes(4, 0xEE)));
  // The failed call coded nothing: the next row is still coded against the first.
  ASSERT_EQ(codec.CompressBitmap(handle, kRow.data(), 1, &size), 0);
  EXPECT_TRUE(SameBytes(Collect(handle, size), Hex("00")));
  EXPECT_EQ(codec.FinishBitmap(handle), 0);
  EXPECT_EQ(codec.FreeCompress(handle), 0);
}

}  // namespace
}  // namespace kav::test
