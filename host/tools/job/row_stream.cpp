// Compressed row streams go through the codec's own decoder.
#include "job/band_decoders.h"
#include "kavcmp_decoder.h"

namespace kav::tools {

bool DecodeCompressedRows(const uint8_t* stream, size_t size, uint32_t rowBytes, uint32_t rows,
                          std::vector<uint8_t>& out, size_t& errorOffset, std::string& error) {
  const StreamDecodeResult result = DecodeRowStream(stream, size, rowBytes, rows, out);
  if (result.ok) return true;
  errorOffset = result.errorOffset;
  error = result.error;
  return false;
}

}  // namespace kav::tools
