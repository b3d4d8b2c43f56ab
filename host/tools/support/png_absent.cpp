// The build has no libpng: PNG pictures are neither read nor written, and
// say so; PNM serves instead.
#include "support/picture_codecs.h"

namespace kav::tools {

bool PngAvailable() { return false; }

Result<Image> DecodePng(const std::vector<uint8_t>&) {
  return Error{"this build reads no PNG pictures (built without libpng); give a PNM picture (PBM, PGM or PPM)"};
}

Status StreamPng(const Image&, const ByteSink&) {
  return Error{"this build writes no PNG pictures (built without libpng); name the file .pnm, .pgm or .ppm"};
}

}  // namespace kav::tools
