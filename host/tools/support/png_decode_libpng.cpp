// The build has libpng: PNG pictures are read through its simplified interface.
#include <png.h>

#include "support/image.h"

namespace kav::tools {
namespace {

// Deflate makes at most 1032 bytes of 1 compressed byte.
constexpr uint64_t kMostDeflateRatio = 1032;

// Whether the file can hold the rows its header claims, judged before they
// are allocated: even 1-bit rows need one filter byte and a bit per pixel.
bool HoldsEnoughData(const png_image& png, size_t fileBytes, std::string& error) {
  const uint64_t leastRows = (uint64_t{png.width} + 7) / 8 + 1;
  if (leastRows * png.height <= fileBytes * kMostDeflateRatio) return true;
  error = "PNG of " + std::to_string(png.width) + " x " + std::to_string(png.height) + " pixels in " +
          std::to_string(fileBytes) + " bytes: too little data for its pixels";
  return false;
}

}  // namespace

bool PngDecodingAvailable() { return true; }

bool DecodePng(const std::vector<uint8_t>& bytes, Image& image, std::string& error) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
    error = std::string("unreadable PNG: ") + png.message;
    return false;
  }
  const uint32_t channels = (png.format & PNG_FORMAT_FLAG_COLOR) != 0 ? 3 : 1;
  png.format = channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  if (!CheckImageSize(png.width, png.height, channels, error) || !HoldsEnoughData(png, bytes.size(), error)) {
    png_image_free(&png);
    return false;
  }
  image = Image(png.width, png.height, channels);
  const png_color white = {255, 255, 255};  // transparent parts are shown on paper
  if (!png_image_finish_read(&png, &white, image.pixels.data(), 0, nullptr)) {
    error = std::string("unreadable PNG: ") + png.message;
    png_image_free(&png);
    return false;
  }
  return true;
}

}  // namespace kav::tools
