// Decoders of image record data that come from libraries: the row codec's
// stream (our own decoder) and JPEG (libjpeg-turbo where the build has it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/image.h"
#include "support/result.h"

namespace kav::tools {

// Rows of `rowBytes` bytes; fewer rows in the stream than `rows` leave the
// rest zero. On failure `errorOffset` is the offset in the stream.
Result<std::vector<uint8_t>> DecodeCompressedRows(const uint8_t* stream, size_t size, uint32_t rowBytes, uint32_t rows,
                                                  size_t& errorOffset);

bool JpegDecodingAvailable();
// A JPEG file of `width` x `height` pixels to gray or red-green-blue pixels,
// as the file has them; a file of another size is refused before decoding.
Result<Image> DecodeJpeg(const uint8_t* data, size_t size, uint32_t width, uint32_t height);

}  // namespace kav::tools
