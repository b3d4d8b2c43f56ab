#include "jpeg_image.h"

namespace kav::test {

::testing::AssertionResult ParseJpegFrame(const Bytes& jpeg, JpegFrame& frame) {
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return ::testing::AssertionFailure() << "no FF D8 lead";
  if (jpeg[jpeg.size() - 2] != 0xFF || jpeg.back() != 0xD9) return ::testing::AssertionFailure() << "no FF D9 end";
  size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    if (jpeg[at] != 0xFF) return ::testing::AssertionFailure() << "no marker at offset " << at;
    const uint8_t marker = jpeg[at + 1];
    if (marker == 0xFF) {  // fill byte before a marker
      ++at;
      continue;
    }
    const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    const bool isFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (isFrame) {
      if (at + 10 > jpeg.size()) break;
      frame.height = jpeg[at + 5] << 8 | jpeg[at + 6];
      frame.width = jpeg[at + 7] << 8 | jpeg[at + 8];
      frame.components = jpeg[at + 9];
      frame.baseline = marker == 0xC0;
      return ::testing::AssertionSuccess();
    }
    at += 2 + length;
  }
  return ::testing::AssertionFailure() << "no frame header";
}

}  // namespace kav::test
