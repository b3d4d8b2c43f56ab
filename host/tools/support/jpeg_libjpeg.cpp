// The build has libjpeg: JPEG records are decoded by the pictures library's
// reader, the one the printer app and the tests read JPEG with.
#include "pictures/picture_reader.h"
#include "support/picture_codecs.h"

namespace kav::tools {
namespace {

Error Unreadable(const std::string& reason) { return Error{"unreadable JPEG data: " + reason}; }

}  // namespace

bool JpegDecodingAvailable() { return true; }

Result<Image> DecodeJpeg(const uint8_t* data, size_t size, uint32_t width, uint32_t height) {
  const Result<pictures::Reader> opened = pictures::OpenJpeg(data, size);
  if (!opened) return Unreadable(opened.error());
  pictures::PictureReader& reader = **opened;
  const pictures::PictureInfo& info = reader.info();
  if (const Status sized = CheckJpegFrameSize(info.width, info.height, width, height); !sized) return sized.failure();
  if (const Status fits = CheckImageSize(width, height, info.channels); !fits) return fits.failure();
  Image image(width, height, info.channels);
  Status decoded = reader.Start(info.channels, kMaxImageBytes);
  if (decoded) decoded = pictures::ReadEveryRow(reader, image.pixels.data());
  if (!decoded) return Unreadable(decoded.error());
  // A record is the plug-in's own output: data the decoder had to pass over is a fault in it.
  if (const std::string damage = reader.Damage(); !damage.empty()) return Unreadable(damage);
  return image;
}

}  // namespace kav::tools
