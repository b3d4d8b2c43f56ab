#include "support/zlib_stream.h"

#include <algorithm>

namespace kav::tools {

uint32_t Adler32(const uint8_t* data, size_t size, uint32_t check) {
  uint32_t a = check & 0xFFFF;
  uint32_t b = check >> 16;
  while (size > 0) {
    // 5552 bytes is the most that can be summed before the sums must be reduced.
    const size_t chunk = std::min<size_t>(size, 5552);
    for (size_t i = 0; i < chunk; ++i) {
      a += data[i];
      b += a;
    }
    a %= 65521;
    b %= 65521;
    data += chunk;
    size -= chunk;
  }
  return (b << 16) | a;
}

void AppendStoredBlock(std::vector<uint8_t>& out, const uint8_t* data, size_t size, bool last) {
  out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00: stored
  out.push_back(static_cast<uint8_t>(size));
  out.push_back(static_cast<uint8_t>(size >> 8));
  out.push_back(static_cast<uint8_t>(~size));
  out.push_back(static_cast<uint8_t>(~size >> 8));
  out.insert(out.end(), data, data + size);
}

std::vector<uint8_t> StoredZlibStream(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out = {0x78, 0x01};  // deflate, 32K window, no preset dictionary
  size_t done = 0;
  do {
    const size_t length = std::min(size - done, kStoredBlockBytes);
    AppendStoredBlock(out, data + done, length, done + length == size);
    done += length;
  } while (done < size);
  const uint32_t check = Adler32(data, size);
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(check >> shift));
  return out;
}

}  // namespace kav::tools
