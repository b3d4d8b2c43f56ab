// The decoder of the row codec's stream in image records (JPEG records are
// decoded by support/picture_codecs.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/result.h"

namespace kav::tools {

// Rows of `rowBytes` bytes; fewer rows in the stream than `rows` leave the
// rest zero. On failure `errorOffset` is the offset in the stream.
Result<std::vector<uint8_t>> DecodeCompressedRows(const uint8_t* stream, size_t size, uint32_t rowBytes, uint32_t rows,
                                                  size_t& errorOffset);

}  // namespace kav::tools
