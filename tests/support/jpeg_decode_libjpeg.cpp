// Natively, the printer's view of a JPEG comes from libjpeg, read by the
// pictures library's reader as the tools and the printer app read it.
#include "jpeg_image.h"
#include "pictures/picture_reader.h"

namespace kav::test {

::testing::AssertionResult DecodeJpeg(const Bytes& jpeg, RgbImage& image) {
  const Result<pictures::Reader> opened = pictures::OpenJpeg(jpeg.data(), jpeg.size());
  if (!opened) return ::testing::AssertionFailure() << "libjpeg: " << opened.error();
  pictures::PictureReader& reader = **opened;
  image.width = static_cast<int>(reader.info().width);
  image.height = static_cast<int>(reader.info().height);
  image.rgb.assign(static_cast<size_t>(image.width) * image.height * 3, 0);
  Status decoded = reader.Start(3, UINT64_MAX);
  if (decoded) decoded = pictures::ReadEveryRow(reader, image.rgb.data());
  if (!decoded) return ::testing::AssertionFailure() << "libjpeg: " << decoded.error();
  if (!reader.Damage().empty()) return ::testing::AssertionFailure() << "libjpeg: " << reader.Damage();
  return ::testing::AssertionSuccess();
}

}  // namespace kav::test
