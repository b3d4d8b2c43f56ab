// The build has libjpeg-turbo: JPEG records are decoded.
#include <turbojpeg.h>

#include "support/picture_codecs.h"

namespace kav::tools {
namespace {

Result<Image> Decompress(tjhandle handle, const uint8_t* data, size_t size, uint32_t width, uint32_t height) {
  int fileWidth = 0;
  int fileHeight = 0;
  int subsampling = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &fileWidth, &fileHeight, &subsampling,
                          &colorspace) != 0) {
    return Error{std::string("unreadable JPEG data: ") + tjGetErrorStr2(handle)};
  }
  if (fileWidth <= 0 || fileHeight <= 0) return Error{"unreadable JPEG data: no picture in it"};
  const Status sized =
      CheckJpegFrameSize(static_cast<uint32_t>(fileWidth), static_cast<uint32_t>(fileHeight), width, height);
  if (!sized) return sized.failure();
  const uint32_t channels = colorspace == TJCS_GRAY ? 1 : 3;
  if (const Status fits = CheckImageSize(width, height, channels); !fits) return fits.failure();
  Image image(width, height, channels);
  if (tjDecompress2(handle, data, static_cast<unsigned long>(size), image.pixels.data(), fileWidth, 0, fileHeight,
                    channels == 1 ? TJPF_GRAY : TJPF_RGB, 0) != 0) {
    return Error{std::string("unreadable JPEG data: ") + tjGetErrorStr2(handle)};
  }
  return image;
}

}  // namespace

bool JpegDecodingAvailable() { return true; }

Result<Image> DecodeJpeg(const uint8_t* data, size_t size, uint32_t width, uint32_t height) {
  tjhandle handle = tjInitDecompress();
  if (handle == nullptr) return Error{"cannot start the JPEG decoder"};
  Result<Image> image = Decompress(handle, data, size, width, height);
  tjDestroy(handle);
  return image;
}

}  // namespace kav::tools
