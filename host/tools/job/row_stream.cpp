// Compressed row streams go through the codec's own decoder.
#include "job/band_decoders.h"
#include "kavcmp_decoder.h"

namespace kav::tools {

Result<std::vector<uint8_t>> DecodeCompressedRows(const uint8_t* stream, size_t size, uint32_t rowBytes, uint32_t rows,
                                                  size_t& errorOffset) {
  std::vector<uint8_t> out;
  const StreamDecodeResult result = DecodeRowStream(stream, size, rowBytes, rows, out);
  if (result.ok) return out;
  errorOffset = result.errorOffset;
  return Error{result.error};
}

}  // namespace kav::tools
