// The build has no zlib: PNG data goes in stored deflate blocks.
#include <algorithm>

#include "support/zlib_stream.h"

namespace kav::tools {

struct ZlibWriter::State {
  Sink sink;
  std::vector<uint8_t> pending;  // input of the block being filled
  std::vector<uint8_t> out;
  uint32_t check = 1;

  void Emit(bool last) {
    out.clear();
    AppendStoredBlock(out, pending.data(), pending.size(), last);
    sink(out.data(), out.size());
    pending.clear();
  }
};

ZlibWriter::ZlibWriter(Sink sink) : state_(new State{std::move(sink), {}, {}, 1}) {
  static const uint8_t kHeader[2] = {0x78, 0x01};  // deflate, 32K window, no preset dictionary
  state_->sink(kHeader, sizeof kHeader);
}

ZlibWriter::~ZlibWriter() = default;

void ZlibWriter::Add(const uint8_t* data, size_t size) {
  state_->check = Adler32(data, size, state_->check);
  while (size > 0) {
    const size_t take = std::min(size, kStoredBlockBytes - state_->pending.size());
    state_->pending.insert(state_->pending.end(), data, data + take);
    data += take;
    size -= take;
    if (state_->pending.size() == kStoredBlockBytes) state_->Emit(false);
  }
}

void ZlibWriter::Finish() {
  state_->Emit(true);
  uint8_t check[4];
  for (int i = 0; i < 4; ++i) check[i] = static_cast<uint8_t>(state_->check >> (24 - 8 * i));
  state_->sink(check, sizeof check);
}

}  // namespace kav::tools
