// The build has zlib: PNG data is deflated.
#include <zlib.h>

#include "support/zlib_stream.h"

namespace kav::tools {

std::vector<uint8_t> ZlibStream(const uint8_t* data, size_t size) {
  uLongf length = compressBound(static_cast<uLong>(size));
  std::vector<uint8_t> out(length);
  if (size > 0xFFFFFFFFu || compress2(out.data(), &length, data, static_cast<uLong>(size), 6) != Z_OK) {
    return StoredZlibStream(data, size);
  }
  out.resize(length);
  return out;
}

}  // namespace kav::tools
