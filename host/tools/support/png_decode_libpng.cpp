// The build has libpng: PNG pictures are read through its simplified interface.
#include <png.h>

#include "support/image.h"

namespace kav::tools {
namespace {

// Deflate makes at most 1032 bytes of 1 compressed byte.
constexpr uint64_t kMostDeflateRatio = 1032;

// Whether the file can hold the rows its header claims, judged before they
// are allocated: even 1-bit rows need one filter byte and a bit per pixel.
Status HoldsEnoughData(const png_image& png, size_t fileBytes) {
  const uint64_t leastRows = (uint64_t{png.width} + 7) / 8 + 1;
  if (leastRows * png.height <= fileBytes * kMostDeflateRatio) return {};
  return Error{"PNG of " + std::to_string(png.width) + " x " + std::to_string(png.height) + " pixels in " +
               std::to_string(fileBytes) + " bytes: too little data for its pixels"};
}

}  // namespace

bool PngDecodingAvailable() { return true; }

Result<Image> DecodePng(const std::vector<uint8_t>& bytes) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
    return Error{std::string("unreadable PNG: ") + png.message};
  }
  const uint32_t channels = (png.format & PNG_FORMAT_FLAG_COLOR) != 0 ? 3 : 1;
  png.format = channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  Status fits = CheckImageSize(png.width, png.height, channels);
  if (fits) fits = HoldsEnoughData(png, bytes.size());
  if (!fits) {
    png_image_free(&png);
    return fits.failure();
  }
  Image image(png.width, png.height, channels);
  const png_color white = {255, 255, 255};  // transparent parts are shown on paper
  if (!png_image_finish_read(&png, &white, image.pixels.data(), 0, nullptr)) {
    const std::string why = png.message;
    png_image_free(&png);
    return Error{"unreadable PNG: " + why};
  }
  return image;
}

}  // namespace kav::tools
