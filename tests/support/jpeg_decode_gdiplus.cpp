// On Windows the printer's view of a JPEG comes from GDI+ itself: the data is
// read from memory and its pixels taken as 24bppRGB (blue, green, red in
// memory) and turned to red, green, blue.
#include <shlwapi.h>

#include "jpeg_image.h"
#include "platform/gdiplus_flat.h"

using kav::gdiplus::GdiplusStartupInput;
using kav::gdiplus::GdiplusStartupOutput;
using kav::gdiplus::GpBitmap;
using kav::gdiplus::GpImage;
using kav::gdiplus::GpStatus;
using kav::gdiplus::PixelFormat;

namespace {

struct GpRect {
  INT X;
  INT Y;
  INT Width;
  INT Height;
};

struct BitmapData {
  UINT Width;
  UINT Height;
  INT Stride;
  PixelFormat Format;
  VOID* Scan0;
  UINT_PTR Reserved;
};

constexpr UINT kImageLockModeRead = 1;

}  // namespace

extern "C" {
GpStatus WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
VOID WINAPI GdiplusShutdown(ULONG_PTR token);
GpStatus WINAPI GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap);
GpStatus WINAPI GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus WINAPI GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus WINAPI GdipBitmapLockBits(GpBitmap* bitmap, const GpRect* rect, UINT flags, PixelFormat format,
                                   BitmapData* data);
GpStatus WINAPI GdipBitmapUnlockBits(GpBitmap* bitmap, BitmapData* data);
GpStatus WINAPI GdipDisposeImage(GpImage* image);
}

namespace kav::test {

::testing::AssertionResult DecodeJpeg(const Bytes& jpeg, RgbImage& image) {
  const GdiplusStartupInput input = {1, nullptr, FALSE, FALSE};
  ULONG_PTR token = 0;
  if (GdiplusStartup(&token, &input, nullptr) != gdiplus::Ok) return ::testing::AssertionFailure() << "no GDI+";
  IStream* stream = SHCreateMemStream(jpeg.data(), static_cast<UINT>(jpeg.size()));
  GpBitmap* bitmap = nullptr;
  UINT width = 0;
  UINT height = 0;
  bool decoded = stream != nullptr && GdipCreateBitmapFromStream(stream, &bitmap) == gdiplus::Ok &&
                 GdipGetImageWidth(bitmap, &width) == gdiplus::Ok && GdipGetImageHeight(bitmap, &height) == gdiplus::Ok;
  if (decoded) {
    const GpRect all = {0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    BitmapData data{};
    decoded = GdipBitmapLockBits(bitmap, &all, kImageLockModeRead, gdiplus::PixelFormat24bppRGB, &data) == gdiplus::Ok;
    if (decoded) {
      image.width = static_cast<int>(width);
      image.height = static_cast<int>(height);
      image.rgb.resize(size_t{width} * height * 3);
      for (UINT y = 0; y < height; ++y) {
        const BYTE* row = static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
        for (UINT x = 0; x < width; ++x) {
          uint8_t* out = image.rgb.data() + 3 * (size_t{y} * width + x);
          out[0] = row[3 * x + 2];
          out[1] = row[3 * x + 1];
          out[2] = row[3 * x];
        }
      }
      GdipBitmapUnlockBits(bitmap, &data);
    }
  }
  if (bitmap != nullptr) GdipDisposeImage(bitmap);
  if (stream != nullptr) stream->Release();
  GdiplusShutdown(token);
  if (!decoded) return ::testing::AssertionFailure() << "GDI+ could not decode the data";
  return ::testing::AssertionSuccess();
}

}  // namespace kav::test
