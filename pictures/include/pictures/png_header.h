// What a PNG file's first bytes say, checked before any decoder is given the
// file: on every build, whichever decoder reads the pixels afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/result.h"

namespace kav::pictures {

// The signature and the IHDR chunk: the bytes that ParsePngHeader reads.
inline constexpr size_t kPngHeaderBytes = 8 + 8 + 13;

struct PngHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t channels = 1;  // as decoded: 1 for gray (with or without alpha), else 3
};

// The header of the file that starts with `bytes`; refused without the
// signature and a whole IHDR chunk.
Result<PngHeader> ParsePngHeader(const uint8_t* bytes, size_t size);

// Refuses a header claiming more rows than `fileBytes` could expand to, so
// a short file never makes a decoder reserve what its header claims.
Status CheckPngDataSize(const PngHeader& header, uint64_t fileBytes);

}  // namespace kav::pictures
