// The codec's six functions found in the render library built beside the
// tests, as another module reaches them, with the platform stand-ins (where
// the build has them) put back to their start and every global block checked
// back in after each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"
#include "codec_functions.h"
#include "host/plugin_library.h"
#include "kavcmp.h"
#include "standin_fixture.h"

namespace kav::test {

class CodecTest : public StandinTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Codes `rows` rows of `image` (the first at `first`, `stride` bytes apart)
  // through one handle, declared with `declaredRows` rows, feeding them in
  // slices of the sizes given (all in one call when none are), and answers the
  // stream collected after each call.
  Bytes Compress(const uint8_t* first, uint32_t widthBits, uint32_t rows, int32_t stride, uint32_t declaredRows,
                 const std::vector<uint32_t>& slices = {});
  // Rows packed `stride` bytes apart from the start of `image`, as many as declared.
  Bytes Compress(const Bytes& image, uint32_t widthBits, uint32_t rows, int32_t stride) {
    return Compress(image.data(), widthBits, rows, stride, rows);
  }

  // Collects what the last kavcmp_CompressBitmap left for kavcmp_GetBitmap.
  Bytes Collect(CompressHandle* handle, uint32_t size);

  host::PluginLibrary library;
  CodecFunctions codec;
  long globalBlocksAtStart = 0;
};

}  // namespace kav::test
