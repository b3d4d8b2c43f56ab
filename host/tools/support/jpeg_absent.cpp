// The build has no JPEG decoder: JPEG records are reported and left blank.
#include "support/picture_codecs.h"

namespace kav::tools {

bool JpegDecodingAvailable() { return false; }

Result<Image> DecodeJpeg(const uint8_t*, size_t, uint32_t, uint32_t) {
  return Error{"this build decodes no JPEG (built without libjpeg-turbo)"};
}

}  // namespace kav::tools
