// The build has zlib: PNG data is deflated.
#include <zlib.h>

#include <algorithm>
#include <new>

#include "support/zlib_stream.h"

namespace kav::tools {

struct ZlibWriter::State {
  Sink sink;
  z_stream stream{};
  std::vector<uint8_t> out = std::vector<uint8_t>(size_t{1} << 16);

  // Runs deflate over the input given to `stream` and hands on what it makes.
  void Deflate(int flush) {
    int result = Z_OK;
    do {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      result = deflate(&stream, flush);
      const size_t made = out.size() - stream.avail_out;
      if (made != 0) sink(out.data(), made);
    } while (stream.avail_out == 0 || (flush == Z_FINISH && result == Z_OK));
  }
};

ZlibWriter::ZlibWriter(Sink sink) : state_(new State{std::move(sink)}) {
  if (deflateInit(&state_->stream, 6) != Z_OK) throw std::bad_alloc();
}

ZlibWriter::~ZlibWriter() { deflateEnd(&state_->stream); }

void ZlibWriter::Add(const uint8_t* data, size_t size) {
  while (size > 0) {
    const size_t take = std::min<size_t>(size, size_t{1} << 30);
    state_->stream.next_in = const_cast<Bytef*>(data);
    state_->stream.avail_in = static_cast<uInt>(take);
    state_->Deflate(Z_NO_FLUSH);
    data += take;
    size -= take;
  }
}

void ZlibWriter::Finish() {
  state_->stream.next_in = nullptr;
  state_->stream.avail_in = 0;
  state_->Deflate(Z_FINISH);
}

}  // namespace kav::tools
