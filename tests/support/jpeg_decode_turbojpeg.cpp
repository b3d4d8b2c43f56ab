// Natively, the printer's view of a JPEG comes from libjpeg-turbo.
#include <turbojpeg.h>

#include "jpeg_image.h"

namespace kav::test {

::testing::AssertionResult DecodeJpeg(const Bytes& jpeg, RgbImage& image) {
  tjhandle decoder = tjInitDecompress();
  if (decoder == nullptr) return ::testing::AssertionFailure() << "no decoder";
  int subsampling = 0;
  int colorspace = 0;
  bool decoded = tjDecompressHeader3(decoder, jpeg.data(), jpeg.size(), &image.width, &image.height, &subsampling,
                                     &colorspace) == 0;
  if (decoded) {
    image.rgb.assign(static_cast<size_t>(image.width) * image.height * 3, 0);
    decoded = tjDecompress2(decoder, jpeg.data(), jpeg.size(), image.rgb.data(), image.width, 0, image.height, TJPF_RGB,
                            0) == 0;
  }
  const std::string error = decoded ? "" : tjGetErrorStr2(decoder);
  tjDestroy(decoder);
  if (!decoded) return ::testing::AssertionFailure() << "libjpeg-turbo: " << error;
  return ::testing::AssertionSuccess();
}

}  // namespace kav::test
