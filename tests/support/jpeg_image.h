// JPEG data as the printer gets it: the frame its markers describe, and the
// pixels it decodes to (through libjpeg-turbo natively, through GDI+ on
// Windows, so each build checks with its own platform's decoder).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"

namespace kav::test {

struct JpegFrame {
  int width = 0;
  int height = 0;
  int components = 0;
  bool baseline = false;  // a SOF0 frame
};

// Walks the markers from the start-of-image to the first frame header, and
// checks that the data ends with the end-of-image marker.
::testing::AssertionResult ParseJpegFrame(const Bytes& jpeg, JpegFrame& frame);

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // red, green, blue per pixel, rows without fill

  const uint8_t* Pixel(int x, int y) const { return rgb.data() + 3 * (static_cast<size_t>(y) * width + x); }
};

::testing::AssertionResult DecodeJpeg(const Bytes& jpeg, RgbImage& image);

}  // namespace kav::test
