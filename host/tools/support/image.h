// Pictures as the tools handle them: 8-bit gray or 8-bit RGB pixels, rows
// top-down. Read and written as PNM (P1 to P6 read, P5 and P6 written) by
// our own code, and as PNG through the platform's library
// (support/picture_codecs.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/luma.h"
#include "host/result.h"
#include "support/output_file.h"

namespace kav::tools {

struct Image {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t channels = 1;  // 1 gray, 3 red-green-blue
  std::vector<uint8_t> pixels;

  Image() = default;
  Image(uint32_t w, uint32_t h, uint32_t c, uint8_t fill = 255) : width(w), height(h), channels(c) {
    pixels.assign(static_cast<size_t>(w) * h * c, fill);
  }
  size_t RowBytes() const { return static_cast<size_t>(width) * channels; }
  uint8_t* Row(uint32_t y) { return pixels.data() + y * RowBytes(); }
  const uint8_t* Row(uint32_t y) const { return pixels.data() + y * RowBytes(); }
};

// Pictures larger than this are refused rather than allocated. It covers
// any real page: A3 at 1200 dpi in colour is 835 MB of pixels.
inline constexpr uint64_t kMaxImageBytes = uint64_t{1} << 30;

// Whether the image may be allocated.
Status CheckImageSize(uint64_t width, uint64_t height, uint32_t channels);

// PBM becomes gray with ink (1) as 0 and paper (0) as 255; samples of more
// than 8 bits are scaled to 8.
Result<Image> DecodePnm(const std::vector<uint8_t>& bytes);

// Reads a PNM or PNG file, told apart by its first bytes.
Result<Image> ReadImageFile(const std::string& path);

// Bytes of an encoded picture, handed on as they are made.
using ByteSink = std::function<void(const uint8_t* bytes, size_t size)>;
void StreamPnm(const Image& image, const ByteSink& sink);  // P5 for gray, P6 for colour

// Writes PNG for ".png" and PNM for ".pnm", ".pgm" and ".ppm", as the name
// of `file` says.
Status WriteImageTo(OutputFile& file, const Image& image);
Status WriteImageFile(const std::string& path, const Image& image);
bool IsImageFileName(const std::string& path);

// The image with `channels` channels (gray to colour repeats the gray).
Image ConvertChannels(const Image& image, uint32_t channels);

}  // namespace kav::tools
