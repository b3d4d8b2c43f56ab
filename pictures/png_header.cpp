#include "pictures/png_header.h"

#include <cstring>
#include <string>

namespace kav::pictures {
namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Deflate makes at most 1032 bytes of 1 compressed byte.
constexpr uint64_t kMostDeflateRatio = 1032;

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

Result<PngHeader> ParsePngHeader(const uint8_t* bytes, size_t size) {
  // The signature, then the IHDR chunk: its length (13), type, width, height,
  // bit depth and colour type.
  if (size < kPngHeaderBytes || std::memcmp(bytes, kPngSignature, 8) != 0 || BigEndian32(bytes + 8) != 13 ||
      std::memcmp(bytes + 12, "IHDR", 4) != 0) {
    return Error{"no PNG signature and header"};
  }
  PngHeader header;
  header.width = BigEndian32(bytes + 16);
  header.height = BigEndian32(bytes + 20);
  // Colour types 2 (RGB), 3 (palette) and 6 (RGB with alpha) have this bit.
  header.channels = (bytes[25] & 2) != 0 ? 3 : 1;
  return header;
}

Status CheckPngDataSize(const PngHeader& header, uint64_t fileBytes) {
  // Even 1-bit rows need one filter byte and a bit per pixel.
  const uint64_t leastRowBytes = (uint64_t{header.width} + 7) / 8 + 1;
  if (leastRowBytes * header.height <= fileBytes * kMostDeflateRatio) return {};
  return Error{std::to_string(fileBytes) + " bytes hold too little data for " + std::to_string(header.width) + " x " +
               std::to_string(header.height) + " pixels"};
}

}  // namespace kav::pictures
