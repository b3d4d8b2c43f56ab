#include "codec_fixture.h"

namespace kav::test {

void CodecTest::SetUp() {
  StandinTest::SetUp();
  std::string error;
  ASSERT_TRUE(library.Load(host::PluginBesideProgram("kavrender"), error)) << error;
  ASSERT_TRUE(FindCodecFunctions(library, codec, error)) << error;
  if (standins != nullptr) globalBlocksAtStart = standins->LiveGlobalBlocks();
}

void CodecTest::TearDown() {
  if (standins != nullptr) {
    EXPECT_EQ(standins->LiveGlobalBlocks(), globalBlocksAtStart) << "global memory blocks left behind";
  }
  StandinTest::TearDown();
}

Bytes CodecTest::Collect(CompressHandle* handle, uint32_t size) {
  Bytes out(size + 1);  // never empty: an empty vector's data() may be null, which the codec refuses
  EXPECT_EQ(codec.GetBitmap(handle, out.data()), 0);
  out.pop_back();
  return out;
}

Bytes CodecTest::Compress(const uint8_t* first, uint32_t widthBits, uint32_t rows, int32_t stride,
                          uint32_t declaredRows, const std::vector<uint32_t>& slices) {
  std::vector<uint32_t> sizes = slices.empty() ? std::vector<uint32_t>{rows} : slices;
  CompressHandle* handle = codec.LoadCompress();
  EXPECT_NE(handle, nullptr);
  if (handle == nullptr) return {};
  EXPECT_EQ(codec.InitBitmap(handle, 1, widthBits, declaredRows, stride), 0);
  Bytes stream;
  uint32_t row = 0;
  for (uint32_t count : sizes) {
    uint32_t size = 0xDEADBEEF;
    EXPECT_EQ(codec.CompressBitmap(handle, first + static_cast<ptrdiff_t>(row) * stride, count, &size), 0);
    const Bytes part = Collect(handle, size);
    stream.insert(stream.end(), part.begin(), part.end());
    row += count;
  }
  EXPECT_EQ(row, rows) << "the slices do not add up to the rows";
  EXPECT_EQ(codec.FinishBitmap(handle), 0);
  EXPECT_EQ(codec.FreeCompress(handle), 0);
  return stream;
}

}  // namespace kav::test
