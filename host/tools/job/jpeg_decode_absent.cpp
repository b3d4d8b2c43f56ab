// The build has no JPEG decoder: JPEG records are reported and left blank.
#include "job/band_decoders.h"

namespace kav::tools {

bool JpegDecodingAvailable() { return false; }

Result<Image> DecodeJpeg(const uint8_t*, size_t, uint32_t, uint32_t) {
  return Error{"this build decodes no JPEG (built without libjpeg-turbo)"};
}

}  // namespace kav::tools
