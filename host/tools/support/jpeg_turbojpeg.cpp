// The build has libjpeg-turbo: JPEG records are decoded.
#include <turbojpeg.h>

#include "support/picture_codecs.h"

namespace kav::tools {

bool JpegDecodingAvailable() { return true; }

bool DecodeJpeg(const uint8_t* data, size_t size, uint32_t width, uint32_t height, Image& image, std::string& error) {
  tjhandle handle = tjInitDecompress();
  if (handle == nullptr) {
    error = "cannot start the JPEG decoder";
    return false;
  }
  int fileWidth = 0;
  int fileHeight = 0;
  int subsampling = 0;
  int colorspace = 0;
  bool ok = tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &fileWidth, &fileHeight, &subsampling,
                                &colorspace) == 0;
  if (!ok) {
    error = std::string("unreadable JPEG data: ") + tjGetErrorStr2(handle);
  } else if (fileWidth <= 0 || fileHeight <= 0) {
    error = "unreadable JPEG data: no picture in it";
    ok = false;
  } else if (!CheckJpegFrameSize(static_cast<uint32_t>(fileWidth), static_cast<uint32_t>(fileHeight), width, height,
                                 error)) {
    ok = false;
  } else {
    const uint32_t channels = colorspace == TJCS_GRAY ? 1 : 3;
    ok = CheckImageSize(width, height, channels, error);
    if (ok) {
      image = Image(width, height, channels);
      ok = tjDecompress2(handle, data, static_cast<unsigned long>(size), image.pixels.data(), fileWidth, 0, fileHeight,
                         channels == 1 ? TJPF_GRAY : TJPF_RGB, 0) == 0;
      if (!ok) error = std::string("unreadable JPEG data: ") + tjGetErrorStr2(handle);
    }
  }
  tjDestroy(handle);
  return ok;
}

}  // namespace kav::tools
