// The build has libpng: PNG pictures are read through its simplified interface.
#include <png.h>

#include "support/image.h"

namespace kav::tools {

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
  if (!CheckImageSize(png.width, png.height, channels, error)) {
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
