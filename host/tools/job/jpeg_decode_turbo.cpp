// The build has libjpeg-turbo: JPEG records are decoded.
#include <turbojpeg.h>

#include "job/band_decoders.h"

namespace kav::tools {

bool JpegDecodingAvailable() { return true; }

bool DecodeJpeg(const uint8_t* data, size_t size, Image& image, std::string& error) {
  tjhandle handle = tjInitDecompress();
  if (handle == nullptr) {
    error = "cannot start the JPEG decoder";
    return false;
  }
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colorspace = 0;
  bool ok = tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width, &height, &subsampling,
                                &colorspace) == 0;
  if (ok) {
    const uint32_t channels = colorspace == TJCS_GRAY ? 1 : 3;
    ok = CheckImageSize(static_cast<uint32_t>(width), static_cast<uint32_t>(height), channels, error);
    if (ok) {
      image = Image(static_cast<uint32_t>(width), static_cast<uint32_t>(height), channels);
      ok = tjDecompress2(handle, data, static_cast<unsigned long>(size), image.pixels.data(), width, 0, height,
                         channels == 1 ? TJPF_GRAY : TJPF_RGB, 0) == 0;
    }
  }
  if (!ok && error.empty()) error = std::string("unreadable JPEG data: ") + tjGetErrorStr2(handle);
  tjDestroy(handle);
  return ok;
}

}  // namespace kav::tools
