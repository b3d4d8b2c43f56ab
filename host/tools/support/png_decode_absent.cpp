// The build has no libpng: PNG pictures are refused with a clear error.
#include "support/image.h"

namespace kav::tools {

bool PngDecodingAvailable() { return false; }

Result<Image> DecodePng(const std::vector<uint8_t>&) {
  return Error{"this build reads no PNG pictures (built without libpng); give a PNM picture (PBM, PGM or PPM)"};
}

}  // namespace kav::tools
