// The zlib stream inside a PNG: deflated with zlib where the build has it,
// else in stored (uncompressed) deflate blocks, which every reader accepts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kav::tools {

std::vector<uint8_t> ZlibStream(const uint8_t* data, size_t size);
std::vector<uint8_t> StoredZlibStream(const uint8_t* data, size_t size);
uint32_t Adler32(const uint8_t* data, size_t size);

}  // namespace kav::tools
