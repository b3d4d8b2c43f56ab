// The build has no JPEG decoder: JPEG records are reported and left blank.
#include "support/picture_codecs.h"

namespace kav::tools {

bool JpegDecodingAvailable() { return false; }

bool DecodeJpeg(const uint8_t*, size_t, uint32_t, uint32_t, Image&, std::string& error) {
  error = "this build decodes no JPEG (built without libjpeg-turbo)";
  return false;
}

}  // namespace kav::tools
