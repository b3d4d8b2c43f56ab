// Arbitrary images through the codec the render library exports, fed in
// arbitrary slices: the stream must equal the reference coder's and decode
// back to the image with the bits beyond its width cleared.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec_functions.h"
#include "fuzz_input.h"
#include "host/plugin_library.h"
#include "kavcmp_decoder.h"
#include "reference_encoder.h"

namespace {

struct Codec {
  kav::host::PluginLibrary library;
  kav::test::CodecFunctions functions;

  Codec() {
    std::string error;
    if (!library.Load(kav::host::PluginBesideProgram("kavrender"), error) ||
        !kav::test::FindCodecFunctions(library, functions, error)) {
      std::fprintf(stderr, "cannot load the render library: %s\n", error.c_str());
      std::abort();
    }
  }
};

const kav::test::CodecFunctions& TheCodec() {
  static auto* codec = new Codec;
  return codec->functions;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kav::fuzz::FuzzInput input(data, size);
  const uint32_t widthBits = input.TakeInRange(1, 3000);
  const uint32_t rows = input.TakeInRange(1, 300);
  const uint32_t rowBytes = (widthBits + 7) / 8;
  const uint32_t stride = rowBytes + input.TakeInRange(0, 3);
  const uint8_t sliceSeed = input.Take<uint8_t>();
  std::vector<uint8_t> image(size_t{rows} * stride);
  input.Fill(image.data(), image.size());

  const kav::test::CodecFunctions& codec = TheCodec();
  CompressHandle* handle = codec.LoadCompress();
  FUZZ_CHECK(handle != nullptr);
  FUZZ_CHECK(codec.InitBitmap(handle, 1, widthBits, rows, static_cast<int32_t>(stride)) == 0);
  std::vector<uint8_t> stream;
  for (uint32_t row = 0, slice = 0; row < rows; row += slice) {
    slice = std::min<uint32_t>(rows - row, 1u + (sliceSeed + row) % 37u);
    uint32_t produced = 0;
    FUZZ_CHECK(codec.CompressBitmap(handle, image.data() + size_t{row} * stride, slice, &produced) == 0);
    const size_t at = stream.size();
    stream.resize(at + produced + 1);
    FUZZ_CHECK(codec.GetBitmap(handle, stream.data() + at) == 0);
    stream.pop_back();
  }
  FUZZ_CHECK(codec.FinishBitmap(handle) == 0);
  FUZZ_CHECK(codec.FreeCompress(handle) == 0);

  FUZZ_CHECK(stream == kav::test::ReferenceEncode(image.data(), widthBits, rows, stride));
  std::vector<uint8_t> decoded;
  const kav::StreamDecodeResult result = kav::DecodeRowStream(stream.data(), stream.size(), rowBytes, rows, decoded);
  FUZZ_CHECK(result.ok);
  FUZZ_CHECK(result.rowsDecoded == rows);
  const auto lastMask = static_cast<uint8_t>(0xFF << (8 * rowBytes - widthBits));
  for (uint32_t y = 0; y < rows; ++y) {
    for (uint32_t k = 0; k < rowBytes; ++k) {
      const uint8_t expected = image[size_t{y} * stride + k] & (k + 1 == rowBytes ? lastMask : 0xFF);
      FUZZ_CHECK(decoded[size_t{y} * rowBytes + k] == expected);
    }
  }
  return 0;
}
