// A reader of the row codec's stream: turns it back into rows, checking
// every item against the stream's end and the row's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kav {

struct StreamDecodeResult {
  bool ok = false;
  uint32_t rowsDecoded = 0;  // rows the stream described
  size_t errorOffset = 0;    // stream offset of the item that failed
  std::string error;         // one clear line when !ok
};

// Decodes a compressed row stream of rows `rowBytes` bytes long into `image`
// (resized to rows * rowBytes, zero-filled first). A stream that describes
// fewer rows than `rows` leaves the rest zero and is not an error; more rows
// than declared, a truncated item, or a record running past the row are.
StreamDecodeResult DecodeRowStream(const uint8_t* stream, size_t size, uint32_t rowBytes, uint32_t rows,
                                   std::vector<uint8_t>& image);

}  // namespace kav
