// Until the codec's decoder is part of the build, compressed rows are refused.
#include "job/band_decoders.h"

namespace kav::tools {

bool DecodeCompressedRows(const uint8_t*, size_t, uint32_t, uint32_t, std::vector<uint8_t>&, size_t& errorOffset,
                          std::string& error) {
  errorOffset = 0;
  error = "this build has no decoder for compressed rows";
  return false;
}

}  // namespace kav::tools
