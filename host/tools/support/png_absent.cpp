// The build has no libpng: PNG pictures are neither read nor written, and
// say so; PNM serves instead.
#include "support/picture_codecs.h"

namespace kav::tools {

bool PngAvailable() { return false; }

bool DecodePng(const std::vector<uint8_t>&, Image&, std::string& error) {
  error = "this build reads no PNG pictures (built without libpng); give a PNM picture (PBM, PGM or PPM)";
  return false;
}

bool StreamPng(const Image&, const ByteSink&, std::string& error) {
  error = "this build writes no PNG pictures (built without libpng); name the file .pnm, .pgm or .ppm";
  return false;
}

}  // namespace kav::tools
