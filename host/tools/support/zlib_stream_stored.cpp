// The build has no zlib: PNG data goes in stored deflate blocks.
#include "support/zlib_stream.h"

namespace kav::tools {

std::vector<uint8_t> ZlibStream(const uint8_t* data, size_t size) { return StoredZlibStream(data, size); }

}  // namespace kav::tools
