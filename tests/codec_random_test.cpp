// Many generated images through the exported codec, held against the plain
// reference coder byte for byte and decoded back to the masked image.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "kavcmp_decoder.h"
#include "reference_encoder.h"

namespace kav::test {
namespace {

using CodecRandomTest = CodecTest;

struct GeneratedImage {
  uint32_t widthBits = 0;
  uint32_t rowBytes = 0;
  uint32_t rows = 0;
  int32_t stride = 0;
  Bytes storage;                   // rows `stride` bytes apart, fill bytes random
  const uint8_t* first = nullptr;  // row 0, the last row in storage when stride is negative
  std::vector<uint32_t> slices;

  const uint8_t* Row(uint32_t y) const { return first + static_cast<ptrdiff_t>(y) * stride; }
};

// Rows of the kinds a page has: blank stretches (some with bits set only
// beyond the width), rows repeating the one before, rows a few bytes away
// from it, sparse rows and random rows.
GeneratedImage Generate(std::mt19937& random) {
  auto below = [&random](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random); };
  GeneratedImage image;
  image.widthBits = below(4) == 0 ? 1 + below(64) : 1 + below(5000);
  image.rowBytes = (image.widthBits + 7) / 8;
  image.rows = 1 + below(below(4) == 0 ? 900 : 120);
  const uint32_t fill = below(3) == 0 ? below(9) : 0;
  const auto pitch = static_cast<int32_t>(image.rowBytes + fill);
  image.stride = below(5) == 0 ? -pitch : pitch;
  image.storage.resize(size_t{image.rows} * static_cast<uint32_t>(pitch));
  for (uint8_t& byte : image.storage) byte = static_cast<uint8_t>(random());
  image.first = image.stride > 0 ? image.storage.data()
                                 : image.storage.data() + image.storage.size() - static_cast<uint32_t>(pitch);

  std::vector<uint8_t> previous(image.rowBytes, 0);
  for (uint32_t y = 0; y < image.rows;) {
    const uint32_t kind = below(6);
    const uint32_t stretch = 1 + below(below(8) == 0 ? 600 : 12);
    for (uint32_t k = 0; k < stretch && y < image.rows; ++k, ++y) {
      auto* row = const_cast<uint8_t*>(image.Row(y));
      switch (kind) {
        case 0:  // blank, perhaps with bits beyond the width
          std::fill(row, row + image.rowBytes, uint8_t{0});
          if (image.widthBits % 8 != 0 && below(2) == 0) row[image.rowBytes - 1] = 0xFF >> (image.widthBits % 8);
          break;
        case 1:  // the row before
          std::copy(previous.begin(), previous.end(), row);
          break;
        case 2:  // a few bytes changed from the row before
          std::copy(previous.begin(), previous.end(), row);
          for (uint32_t n = below(6); n > 0; --n) row[below(image.rowBytes)] = static_cast<uint8_t>(random());
          break;
        case 3:  // sparse: mostly zero, short runs of set bytes
          std::fill(row, row + image.rowBytes, uint8_t{0});
          for (uint32_t n = below(12); n > 0; --n) {
            const uint32_t at = below(image.rowBytes);
            for (uint32_t run = below(20); run > 0 && at + run < image.rowBytes; --run) {
              row[at + run] = static_cast<uint8_t>(random());
            }
          }
          break;
        default:  // random, as generated
          break;
      }
      std::copy(row, row + image.rowBytes, previous.begin());
    }
  }
  for (uint32_t left = image.rows; left > 0;) {
    const uint32_t slice = below(3) == 0 ? left : std::min(left, below(below(2) == 0 ? 8 : 200));
    image.slices.push_back(slice);
    left -= slice;
  }
  return image;
}

// The image as the decoder gives it back: rows packed, bits beyond the width clear.
Bytes MaskedRows(const GeneratedImage& image) {
  Bytes rows;
  for (uint32_t y = 0; y < image.rows; ++y) {
    rows.insert(rows.end(), image.Row(y), image.Row(y) + image.rowBytes);
    rows.back() &= static_cast<uint8_t>(0xFF << (8 * image.rowBytes - image.widthBits));
  }
  return rows;
}

TEST_F(CodecRandomTest, MatchesTheReferenceCoderAndDecodesBack) {
  std::mt19937 random(20240611);
  for (int n = 0; n < 400; ++n) {
    const GeneratedImage image = Generate(random);
    const std::string what = "image " + std::to_string(n) + ": " + std::to_string(image.widthBits) + " bits by " +
                             std::to_string(image.rows) + " rows, stride " + std::to_string(image.stride) + ", " +
                             std::to_string(image.slices.size()) + " slices";
    const Bytes stream = Compress(image.first, image.widthBits, image.rows, image.stride, image.rows, image.slices);
    ASSERT_TRUE(SameBytes(stream, ReferenceEncode(image.first, image.widthBits, image.rows, image.stride))) << what;

    std::vector<uint8_t> decoded;
    const StreamDecodeResult result =
        DecodeRowStream(stream.data(), stream.size(), image.rowBytes, image.rows, decoded);
    ASSERT_TRUE(result.ok) << what << ": " << result.error;
    EXPECT_EQ(result.rowsDecoded, image.rows) << what;
    ASSERT_TRUE(SameBytes(decoded, MaskedRows(image))) << what;
  }
}

// Declared row counts other than the rows coded decide only where trailing
// blank runs are written; the reference says exactly which.
TEST_F(CodecRandomTest, MatchesTheReferenceWhateverRowCountIsDeclared) {
  std::mt19937 random(7);
  for (int n = 0; n < 100; ++n) {
    const GeneratedImage image = Generate(random);
    for (const uint32_t declared : {0u, image.rows / 2, image.rows + 1, image.rows + 300}) {
      ReferenceEncoder reference(image.widthBits, declared);
      Bytes expected;
      for (uint32_t y = 0; y < image.rows; ++y) reference.EncodeRow(image.Row(y), expected);
      ASSERT_TRUE(
          SameBytes(Compress(image.first, image.widthBits, image.rows, image.stride, declared, image.slices), expected))
          << "image " << n << " declared with " << declared << " of its " << image.rows << " rows";
    }
  }
}

}  // namespace
}  // namespace kav::test
