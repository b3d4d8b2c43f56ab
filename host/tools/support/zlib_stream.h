// The zlib stream inside a PNG: deflated with zlib where the build has it,
// else in stored (uncompressed) deflate blocks, which every reader accepts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kav::tools {

// A zlib stream made piece by piece: its bytes go to `sink` as they are
// ready, so neither the whole input nor the whole output is ever held.
class ZlibWriter {
 public:
  using Sink = std::function<void(const uint8_t* bytes, size_t size)>;
  explicit ZlibWriter(Sink sink);
  ~ZlibWriter();
  ZlibWriter(const ZlibWriter&) = delete;
  ZlibWriter& operator=(const ZlibWriter&) = delete;

  void Add(const uint8_t* data, size_t size);
  // Ends the stream; nothing may be added after it.
  void Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Stored deflate blocks hold at most this many bytes.
inline constexpr size_t kStoredBlockBytes = 65535;

// Appends one stored deflate block of `size` (at most kStoredBlockBytes) bytes.
void AppendStoredBlock(std::vector<uint8_t>& out, const uint8_t* data, size_t size, bool last);
std::vector<uint8_t> StoredZlibStream(const uint8_t* data, size_t size);
// The running checksum of a zlib stream: `check` is the value so far.
uint32_t Adler32(const uint8_t* data, size_t size, uint32_t check = 1);

}  // namespace kav::tools
