// Stand-ins for the GDI+ flat calls that the band encoder makes, on
// libjpeg-turbo. They keep GDI+'s contract: a bitmap borrows the caller's
// memory, a 24bppRGB pixel lies in memory as blue, green, red, an indexed
// pixel is looked up in the palette, and the JPEG encoder takes the quality
// parameter. Like GDI+, the encoder writes three components (YCbCr, 4:2:0)
// for every bitmap, the indexed gray ones included.
#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <new>
#include <span>
#include <string>

#include "failure_plan.h"
#include "platform/gdiplus_flat.h"
#include "platform/wide_text.h"

namespace kav::gdiplus {
namespace {

using standin::EncoderList;

std::atomic<bool> hidden{false};
standin::ArmedFailure startupFailure;
standin::ArmedFailure paletteFailure;
standin::ArmedFailure saveFailure;
std::atomic<EncoderList> encoderList{EncoderList::kStandard};
std::atomic<long> startups{0};
std::atomic<long> shutdowns{0};
std::atomic<long> running{0};
std::atomic<long> liveImages{0};
std::atomic<int> lastQuality{-1};

// GDI+'s own encoder and format identifiers.
constexpr CLSID kBmpEncoder = {0x557CF400, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID kJpegEncoder = {0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr GUID kBmpFormat = {0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr GUID kJpegFormat = {0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr DWORD kBuiltInEncoder = 0x00010007;  // built in, encoder, decoder, bitmap images
constexpr BYTE kBmpSignature[] = {0x42, 0x4D};
constexpr BYTE kJpegSignature[] = {0xFF, 0xD8};
constexpr BYTE kFullMask[] = {0xFF, 0xFF};

constexpr ImageCodecInfo Codec(const CLSID& clsid, const GUID& format, const WCHAR* name, const WCHAR* extension,
                               const WCHAR* mimeType, const BYTE* signature) {
  return {clsid, format, name, nullptr, u"", extension, mimeType, kBuiltInEncoder, 1, 1, 2, signature, kFullMask};
}

const ImageCodecInfo kStandardList[] = {
    Codec(kBmpEncoder, kBmpFormat, u"Built-in BMP Codec", u"*.BMP;*.DIB;*.RLE", u"image/bmp", kBmpSignature),
    Codec(kJpegEncoder, kJpegFormat, u"Built-in JPEG Codec", u"*.JPG;*.JPEG;*.JPE;*.JFIF", u"image/jpeg",
          kJpegSignature),
};
// Names that a loose comparison would take for "image/jpeg", on the real
// JPEG encoder, so such a comparison would be caught saving a JPEG.
const ImageCodecInfo kListWithoutJpeg[] = {
    kStandardList[0],
    Codec(kJpegEncoder, kJpegFormat, u"Built-in JPEG Codec", u"*.JPG", u"image/JPEG", kJpegSignature),
    Codec(kJpegEncoder, kJpegFormat, u"Built-in JPEG Codec", u"*.JPG", u"image/jpe", kJpegSignature),
    Codec(kJpegEncoder, kJpegFormat, u"Built-in JPEG Codec", u"*.JPG", u"image/jpegx", kJpegSignature),
};

std::span<const ImageCodecInfo> Encoders() {
  switch (encoderList.load()) {
    case EncoderList::kEmpty:
      return {};
    case EncoderList::kWithoutJpeg:
      return kListWithoutJpeg;
    case EncoderList::kStandard:
    case EncoderList::kListingFails:
      break;
  }
  return kStandardList;
}

struct Bitmap : GpBitmap {
  INT width;
  INT height;
  INT stride;
  PixelFormat format;
  const BYTE* scan0;  // borrowed from the caller, as GDI+ does
  ARGB palette[256];  // black until a palette is set
};

Bitmap* BitmapOf(GpImage* image) { return static_cast<Bitmap*>(image); }

GpStatus WINAPI Startup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
  if (token == nullptr || input == nullptr) return InvalidParameter;
  if (input->GdiplusVersion < 1 || input->GdiplusVersion > 2) return UnsupportedGdiplusVersion;
  if (input->SuppressBackgroundThread && output == nullptr) return InvalidParameter;
  if (startupFailure.NextCallFails()) return GenericError;
  ++startups;
  *token = static_cast<ULONG_PTR>(++running);
  return Ok;
}

VOID WINAPI Shutdown(ULONG_PTR token) {
  if (token == 0 || running.load() == 0) return;
  ++shutdowns;
  --running;
}

GpStatus WINAPI CreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                      GpBitmap** bitmap) {
  if (bitmap == nullptr) return InvalidParameter;
  *bitmap = nullptr;
  if (running.load() == 0) return GdiplusNotInitialized;
  if (width <= 0 || height <= 0 || (scan0 != nullptr && stride % 4 != 0)) return InvalidParameter;
  if (format != PixelFormat24bppRGB && format != PixelFormat8bppIndexed) return InvalidParameter;
  // Bitmaps of GDI+'s own memory and bottom-up strides are not stood in.
  if (scan0 == nullptr || stride <= 0) return NotImplemented;
  auto* made = new (std::nothrow) Bitmap{{}, width, height, stride, format, scan0, {}};
  if (made == nullptr) return OutOfMemory;
  ++liveImages;
  *bitmap = made;
  return Ok;
}

GpStatus WINAPI SetImagePalette(GpImage* image, const ColorPalette* palette) {
  if (image == nullptr || palette == nullptr || palette->Count > 256) return InvalidParameter;
  if (running.load() == 0) return GdiplusNotInitialized;
  if (paletteFailure.NextCallFails()) return GenericError;
  Bitmap* bitmap = BitmapOf(image);
  for (UINT i = 0; i < palette->Count; ++i) bitmap->palette[i] = palette->Entries[i];
  return Ok;
}

GpStatus WINAPI GetImageEncodersSize(UINT* numEncoders, UINT* size) {
  if (numEncoders == nullptr || size == nullptr) return InvalidParameter;
  if (running.load() == 0) return GdiplusNotInitialized;
  const auto list = Encoders();
  *numEncoders = static_cast<UINT>(list.size());
  *size = static_cast<UINT>(list.size_bytes());
  return Ok;
}

GpStatus WINAPI GetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders) {
  if (encoders == nullptr) return InvalidParameter;
  if (running.load() == 0) return GdiplusNotInitialized;
  const auto list = Encoders();
  if (numEncoders != list.size() || size != list.size_bytes()) return GenericError;
  if (encoderList.load() == EncoderList::kListingFails) return GenericError;
  for (size_t i = 0; i < list.size(); ++i) encoders[i] = list[i];
  return Ok;
}

// The quality asked for (GDI+'s default 75 when none is), or -1 for a
// parameter this encoder does not take.
int QualityOf(const EncoderParameters* parameters) {
  if (parameters == nullptr) return 75;
  int quality = 75;
  for (UINT i = 0; i < parameters->Count; ++i) {
    const EncoderParameter& parameter = parameters->Parameter[i];
    if (!IsEqualGUID(parameter.Guid, EncoderQuality) || parameter.Type != EncoderParameterValueTypeLong ||
        parameter.NumberOfValues != 1 || parameter.Value == nullptr)
      return -1;
    const ULONG value = *static_cast<const ULONG*>(parameter.Value);
    if (value > 100) return -1;
    quality = static_cast<int>(value);
  }
  return quality;
}

// Blue, green, red rows for the encoder: a 24bppRGB bitmap as it lies in
// memory, an indexed one looked up in its palette into `expanded`.
GpStatus BgrRows(const Bitmap& bitmap, std::unique_ptr<BYTE[]>& expanded, const BYTE*& rows, INT& pitch) {
  if (bitmap.format == PixelFormat24bppRGB) {
    rows = bitmap.scan0;
    pitch = bitmap.stride;
    return Ok;
  }
  const size_t rowBytes = size_t{3} * static_cast<size_t>(bitmap.width);
  expanded.reset(new (std::nothrow) BYTE[rowBytes * static_cast<size_t>(bitmap.height)]);
  if (expanded == nullptr) return OutOfMemory;
  BYTE* out = expanded.get();
  for (INT y = 0; y < bitmap.height; ++y) {
    const BYTE* in = bitmap.scan0 + static_cast<size_t>(y) * static_cast<size_t>(bitmap.stride);
    for (INT x = 0; x < bitmap.width; ++x, out += 3) {
      const ARGB color = bitmap.palette[in[x]];
      out[0] = static_cast<BYTE>(color);
      out[1] = static_cast<BYTE>(color >> 8);
      out[2] = static_cast<BYTE>(color >> 16);
    }
  }
  rows = expanded.get();
  pitch = static_cast<INT>(rowBytes);
  return Ok;
}

// Replaces the file's contents, as GDI+ does. A file that is already empty
// (the temporary file made for the save) is not truncated: on some file
// systems a truncation makes the next close flush the file to disk.
GpStatus WriteWholeFile(const std::string& path, const BYTE* bytes, size_t count) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return Win32Error;
  struct stat file {};
  GpStatus status = fstat(fd, &file) == 0 && (file.st_size == 0 || ftruncate(fd, 0) == 0) ? Ok : Win32Error;
  for (size_t done = 0; done < count && status == Ok;) {
    const ssize_t wrote = write(fd, bytes + done, count - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0)
      status = Win32Error;
    else
      done += static_cast<size_t>(wrote);
  }
  if (close(fd) != 0) status = Win32Error;
  return status;
}

// One encoder and one output block per thread, kept from save to save: a
// band page-wide needs sizeable work memory, which a fresh encoder would
// fetch from the system (and fault in) every time.
class ThreadEncoder {
 public:
  ~ThreadEncoder() {
    tjFree(output_);
    if (encoder_ != nullptr) tjDestroy(encoder_);
  }

  GpStatus Encode(const BYTE* rows, INT width, INT pitch, INT height, int quality, const std::string& path) {
    if (encoder_ == nullptr) encoder_ = tjInitCompress();
    const unsigned long needed = tjBufSize(width, height, TJSAMP_420);
    if (encoder_ == nullptr || needed == static_cast<unsigned long>(-1)) return OutOfMemory;
    if (needed > capacity_) {
      tjFree(output_);
      output_ = tjAlloc(static_cast<int>(needed));
      capacity_ = output_ != nullptr ? needed : 0;
      if (output_ == nullptr) return OutOfMemory;
    }
    unsigned long size = capacity_;
    if (tjCompress2(encoder_, rows, width, pitch, height, TJPF_BGR, &output_, &size, TJSAMP_420,
                    quality < 1 ? 1 : quality, TJFLAG_NOREALLOC) != 0)
      return GenericError;
    return WriteWholeFile(path, output_, size);
  }

 private:
  tjhandle encoder_ = nullptr;
  unsigned char* output_ = nullptr;
  unsigned long capacity_ = 0;
};

GpStatus EncodeJpegFile(const Bitmap& bitmap, int quality, const std::string& path) {
  std::unique_ptr<BYTE[]> expanded;
  const BYTE* rows = nullptr;
  INT pitch = 0;
  if (const GpStatus status = BgrRows(bitmap, expanded, rows, pitch); status != Ok) return status;
  thread_local ThreadEncoder encoder;
  return encoder.Encode(rows, bitmap.width, pitch, bitmap.height, quality, path);
}

GpStatus WINAPI SaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* clsidEncoder,
                                const EncoderParameters* encoderParams) {
  if (image == nullptr || filename == nullptr || clsidEncoder == nullptr) return InvalidParameter;
  if (running.load() == 0) return GdiplusNotInitialized;
  // The stand-in carries the JPEG encoder only.
  if (!IsEqualGUID(*clsidEncoder, kJpegEncoder)) return UnknownImageFormat;
  const int quality = QualityOf(encoderParams);
  if (quality < 0) return InvalidParameter;
  if (saveFailure.NextCallFails()) return GenericError;
  lastQuality = quality;
  return EncodeJpegFile(*BitmapOf(image), quality, ToUtf8(filename));
}

GpStatus WINAPI DisposeImage(GpImage* image) {
  if (image == nullptr) return InvalidParameter;
  // After the last shut-down the image is GDI+'s no more: it stays counted.
  if (running.load() == 0) return GdiplusNotInitialized;
  delete BitmapOf(image);
  --liveImages;
  return Ok;
}

constexpr GdiplusFlatApi kStandIns = {
    Startup,          Shutdown,        CreateBitmapFromScan0, SetImagePalette, GetImageEncodersSize,
    GetImageEncoders, SaveImageToFile, DisposeImage};

}  // namespace

const GdiplusFlatApi* BindGdiplus() { return hidden ? nullptr : &kStandIns; }

}  // namespace kav::gdiplus

namespace kav::standin {

void AddGdiplusControls(Controls& controls) {
  controls.HideGdiplus = [](bool hide) { gdiplus::hidden = hide; };
  controls.FailGdiplusStartup = [](FailurePlan plan) { gdiplus::startupFailure.Arm(plan); };
  controls.SetEncoderList = [](EncoderList list) { gdiplus::encoderList = list; };
  controls.FailSetPalette = [](FailurePlan plan) { gdiplus::paletteFailure.Arm(plan); };
  controls.FailSaveImage = [](FailurePlan plan) { gdiplus::saveFailure.Arm(plan); };
  controls.GdiplusStartups = []() -> long { return gdiplus::startups; };
  controls.GdiplusShutdowns = []() -> long { return gdiplus::shutdowns; };
  controls.LiveImages = []() -> long { return gdiplus::liveImages; };
  controls.LastJpegQuality = []() -> int { return gdiplus::lastQuality; };
}

void ResetGdiplusStandin() {
  gdiplus::hidden = false;
  for (ArmedFailure* failure : {&gdiplus::startupFailure, &gdiplus::paletteFailure, &gdiplus::saveFailure})
    failure->Arm({});
  gdiplus::encoderList = EncoderList::kStandard;
  gdiplus::startups = 0;
  gdiplus::shutdowns = 0;
  gdiplus::lastQuality = -1;
}

}  // namespace kav::standin
