// JPEG and PNG pictures read row by row: JPEG through libjpeg's scanline
// interface, PNG through libpng's row interface. A picture whose rows go on
// as they are decoded is never held whole. What decoding has to hold besides
// a row (every coefficient of a progressive JPEG, every row of an interlaced
// PNG) is known once the header is read, before anything is decoded, and
// decoding refuses to hold more than its caller allows.
//
// Linux builds; the Windows tools read pictures through the system's codecs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/result.h"

namespace kav::pictures {

// The resolution across and down a file gives, in pixels per inch; 0 when
// it gives none.
struct Density {
  int across = 0;
  int down = 0;
};

// What a file says of its picture, read before any pixel is decoded.
struct PictureInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t channels = 1;  // as the file has them: 1 gray, 3 colour
  Density density;
  // What decoding holds at once besides its row buffers.
  uint64_t heldBytes = 0;
};

class PictureReader {
 public:
  virtual ~PictureReader() = default;

  const PictureInfo& info() const { return info_; }

  // Starts decoding to `channels` bytes a pixel: 1 for gray (a colour
  // picture's luma), 3 for red, green, blue. Refused when decoding would hold
  // more than `heldLimit` bytes besides its rows.
  virtual Status Start(uint32_t channels, uint64_t heldLimit) = 0;
  // The next row, top to bottom: width * channels bytes.
  virtual Status ReadRow(uint8_t* row) = 0;
  // What the decoder passed over, decoding as far as the data goes (JPEG
  // data that is corrupt or ends early); empty when nothing.
  virtual std::string Damage() const { return {}; }
  // The bytes of a row as decoding was started.
  size_t RowBytes() const { return size_t{info_.width} * channels_; }

 protected:
  PictureInfo info_;
  uint32_t channels_ = 0;  // as decoding was started
};

using Reader = std::unique_ptr<PictureReader>;

// Readers of a file in memory, which the caller keeps while the reader reads,
// or of a file on disk, opened here. Each reads the header at once.
Result<Reader> OpenJpeg(const uint8_t* data, size_t size);
Result<Reader> OpenJpegFile(const std::string& path);
Result<Reader> OpenPng(const uint8_t* data, size_t size);
Result<Reader> OpenPngFile(const std::string& path);

// Every row of a reader just started into `pixels`, one after the other.
Status ReadEveryRow(PictureReader& reader, uint8_t* pixels);

}  // namespace kav::pictures
