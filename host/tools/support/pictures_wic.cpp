// The Windows build: PNG is read and written, and JPEG records decoded,
// through the Windows Imaging Component, the system's own codecs. COM is
// started for each call and every interface is released before it ends.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>

#include "platform/win32.h"
#include "support/picture_codecs.h"

// clang-format off
#include <wincodec.h>
// clang-format on

namespace kav::tools {
namespace {

// Converted pixels are copied out a few rows at a time, so no whole
// converted copy of a page is held beside the decoder's own.
constexpr size_t kChunkBytes = size_t{4} << 20;

// One reference on a COM interface, released when the holder goes.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (p_ != nullptr) p_->Release();
  }
  T** Out() { return &p_; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }

 private:
  T* p_ = nullptr;
};

// COM on this thread for as long as it lives; a thread whose COM was
// started in another model already has what WIC needs.
class ComApartment {
 public:
  ComApartment() : started_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(started_)) CoUninitialize();
  }
  HRESULT result() const { return started_ == RPC_E_CHANGED_MODE ? S_OK : started_; }

 private:
  HRESULT started_;
};

// Says which step failed and with what; true when `hr` is a failure.
bool Failed(HRESULT hr, const char* step, std::string& error) {
  if (SUCCEEDED(hr)) return false;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  error = std::string(step) + " failed (" + code + ")";
  return true;
}

// The imaging factory, made after COM is started and released before COM
// is stopped (members go in the reverse of their order here).
class Wic {
 public:
  bool Start(std::string& error) {
    return !Failed(apartment_.result(), "CoInitializeEx", error) &&
           !Failed(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(factory_.Out())),
                   "CoCreateInstance(CLSID_WICImagingFactory)", error);
  }
  IWICImagingFactory* factory() const { return factory_.get(); }

 private:
  ComApartment apartment_;
  ComRef<IWICImagingFactory> factory_;
};

// The first frame of a file held in memory, with what it reads from.
struct DecodedFrame {
  ComRef<IWICStream> stream;
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> frame;
};

bool OpenFrame(IWICImagingFactory* factory, const GUID& container, const uint8_t* data, size_t size,
               DecodedFrame& decoded, std::string& error) {
  if (size > UINT32_MAX) {
    error = "the file is too large for the system's decoder";
    return false;
  }
  return !Failed(factory->CreateStream(decoded.stream.Out()), "IWICImagingFactory::CreateStream", error) &&
         !Failed(decoded.stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size)),
                 "IWICStream::InitializeFromMemory", error) &&
         !Failed(factory->CreateDecoder(container, nullptr, decoded.decoder.Out()), "IWICImagingFactory::CreateDecoder",
                 error) &&
         !Failed(decoded.decoder->Initialize(decoded.stream.get(), WICDecodeMetadataCacheOnDemand),
                 "IWICBitmapDecoder::Initialize", error) &&
         !Failed(decoded.decoder->GetFrame(0, decoded.frame.Out()), "IWICBitmapDecoder::GetFrame", error);
}

// Rows `y` to `y + rows` of a picture, `pixelBytes` bytes a pixel.
using RowsTaker = std::function<void(uint32_t y, uint32_t rows, const uint8_t* pixels)>;

// Hands the frame's pixels to `take`, converted to `format`, a chunk of rows
// at a time.
bool ReadRows(IWICBitmapSource* frame, REFWICPixelFormatGUID format, uint32_t pixelBytes, uint32_t width,
              uint32_t height, const RowsTaker& take, std::string& error) {
  ComRef<IWICBitmapSource> converted;
  if (Failed(WICConvertBitmapSource(format, frame, converted.Out()), "WICConvertBitmapSource", error)) return false;
  const UINT stride = width * pixelBytes;
  const uint32_t chunkRows = static_cast<uint32_t>(std::max<size_t>(1, kChunkBytes / stride));
  std::vector<uint8_t> chunk(size_t{stride} * std::min(chunkRows, height));
  for (uint32_t y = 0; y < height; y += chunkRows) {
    const uint32_t rows = std::min(chunkRows, height - y);
    const WICRect rect = {0, static_cast<INT>(y), static_cast<INT>(width), static_cast<INT>(rows)};
    if (Failed(converted->CopyPixels(&rect, stride, stride * rows, chunk.data()), "IWICBitmapSource::CopyPixels",
               error)) {
      return false;
    }
    take(y, rows, chunk.data());
  }
  return true;
}

// A sample over white paper with `alpha` of it showing, mixed in linear
// light as libpng mixes it, so both builds show a picture alike.
uint8_t OnWhite(uint8_t sample, uint8_t alpha) {
  if (alpha == 255) return sample;
  const double encoded = sample / 255.0;
  const double linear = encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
  const double mixed = (linear * alpha + (255 - alpha)) / 255.0;
  const double shown = mixed <= 0.0031308 ? mixed * 12.92 : 1.055 * std::pow(mixed, 1 / 2.4) - 0.055;
  return static_cast<uint8_t>(std::lround(std::clamp(shown, 0.0, 1.0) * 255));
}

// Blue-green-red-alpha rows shown on paper, into the image's channels.
void PlaceOnWhite(const uint8_t* bgra, uint32_t y, uint32_t rows, Image& image) {
  for (uint32_t row = 0; row < rows; ++row) {
    uint8_t* out = image.Row(y + row);
    for (uint32_t x = 0; x < image.width; ++x, bgra += 4) {
      const uint8_t red = OnWhite(bgra[2], bgra[3]);
      const uint8_t green = OnWhite(bgra[1], bgra[3]);
      const uint8_t blue = OnWhite(bgra[0], bgra[3]);
      if (image.channels == 1) {
        out[x] = Luma(red, green, blue);
      } else {
        out[3 * x] = red;
        out[3 * x + 1] = green;
        out[3 * x + 2] = blue;
      }
    }
  }
}

// What a JPEG file's frame header claims, read before WIC is given the file:
// WIC decodes a frame whole as it opens it.
struct JpegFrame {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t components = 0;
};

bool ReadJpegFrame(const uint8_t* data, size_t size, JpegFrame& frame) {
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) return false;
  size_t at = 2;
  while (at + 4 <= size) {
    if (data[at] != 0xFF) return false;
    const uint8_t marker = data[at + 1];
    if (marker == 0xFF) {  // a fill byte before the marker
      ++at;
      continue;
    }
    const size_t length = size_t{data[at + 2]} << 8 | data[at + 3];
    // Start-of-frame markers: 0xC0 to 0xCF but for the table and extension markers.
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (length < 8 || at + 10 > size) return false;
      frame.height = uint32_t{data[at + 5]} << 8 | data[at + 6];
      frame.width = uint32_t{data[at + 7]} << 8 | data[at + 8];
      frame.components = data[at + 9];
      return true;
    }
    if (marker == 0xDA || marker == 0xD9 || length < 2) return false;  // a scan or the end before any frame
    at += 2 + length;
  }
  return false;
}

// The encoder's output, handed to the sink as it is written. It lives on the
// caller's stack and outlives the encoder, so its count is not kept.
class SinkStream final : public IStream {
 public:
  explicit SinkStream(const ByteSink& sink) : sink_(sink) {}
  bool failed() const { return failed_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ISequentialStream) && !IsEqualIID(iid, IID_IStream)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IStream*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG* read) override {
    if (read != nullptr) *read = 0;
    return STG_E_ACCESSDENIED;
  }
  HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override {
    if (written != nullptr) *written = 0;
    if (failed_) return STG_E_CANTSAVE;
    // No exception may reach the encoder: a failing sink fails the write.
    try {
      sink_(static_cast<const uint8_t*>(data), size);
    } catch (...) {
      failed_ = true;
      return STG_E_CANTSAVE;
    }
    position_ += size;
    if (written != nullptr) *written = size;
    return S_OK;
  }
  // Only where the stream is may be asked: what was written has gone on.
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    const bool here = (origin == STREAM_SEEK_CUR && move.QuadPart == 0) ||
                      (origin == STREAM_SEEK_SET && static_cast<ULONGLONG>(move.QuadPart) == position_);
    if (!here) return STG_E_INVALIDFUNCTION;
    if (position != nullptr) position->QuadPart = position_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
    if (stat == nullptr) return E_POINTER;
    std::memset(stat, 0, sizeof *stat);
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = position_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

 private:
  const ByteSink& sink_;
  ULONGLONG position_ = 0;
  bool failed_ = false;
};

// The image's rows to the frame a chunk at a time, colour as the encoder's
// blue-green-red.
bool WritePixels(IWICBitmapFrameEncode* frame, const Image& image, std::string& error) {
  const UINT stride = static_cast<UINT>(image.RowBytes());
  const uint32_t chunkRows = static_cast<uint32_t>(std::max<size_t>(1, kChunkBytes / stride));
  std::vector<uint8_t> chunk(size_t{stride} * std::min(chunkRows, image.height));
  for (uint32_t y = 0; y < image.height; y += chunkRows) {
    const uint32_t rows = std::min(chunkRows, image.height - y);
    std::memcpy(chunk.data(), image.Row(y), size_t{stride} * rows);
    if (image.channels == 3) {
      for (size_t i = 0; i < size_t{stride} * rows; i += 3) std::swap(chunk[i], chunk[i + 2]);
    }
    if (Failed(frame->WritePixels(rows, stride, stride * rows, chunk.data()), "IWICBitmapFrameEncode::WritePixels",
               error)) {
      return false;
    }
  }
  return true;
}

bool EncodeFrame(IWICImagingFactory* factory, IStream* out, const Image& image, std::string& error) {
  ComRef<IWICBitmapEncoder> encoder;
  ComRef<IWICBitmapFrameEncode> frame;
  ComRef<IPropertyBag2> options;
  const WICPixelFormatGUID wanted = image.channels == 3 ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat8bppGray;
  WICPixelFormatGUID format = wanted;
  if (Failed(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out()),
             "IWICImagingFactory::CreateEncoder", error) ||
      Failed(encoder->Initialize(out, WICBitmapEncoderNoCache), "IWICBitmapEncoder::Initialize", error) ||
      Failed(encoder->CreateNewFrame(frame.Out(), options.Out()), "IWICBitmapEncoder::CreateNewFrame", error) ||
      Failed(frame->Initialize(options.get()), "IWICBitmapFrameEncode::Initialize", error) ||
      Failed(frame->SetSize(image.width, image.height), "IWICBitmapFrameEncode::SetSize", error) ||
      Failed(frame->SetPixelFormat(&format), "IWICBitmapFrameEncode::SetPixelFormat", error)) {
    return false;
  }
  if (!IsEqualGUID(format, wanted)) {
    error = "the system's PNG encoder takes no 8-bit gray or 24-bit colour";
    return false;
  }
  return WritePixels(frame.get(), image, error) && !Failed(frame->Commit(), "IWICBitmapFrameEncode::Commit", error) &&
         !Failed(encoder->Commit(), "IWICBitmapEncoder::Commit", error);
}

}  // namespace

bool PngAvailable() { return true; }

Result<Image> DecodePng(const std::vector<uint8_t>& bytes) {
  const Result<PngHeader> header = ReadPngHeader(bytes);
  if (!header) return header.failure();
  Wic wic;
  DecodedFrame decoded;
  Image pixels(header->width, header->height, header->channels);
  const RowsTaker take = [&pixels](uint32_t y, uint32_t rows, const uint8_t* bgra) {
    PlaceOnWhite(bgra, y, rows, pixels);
  };
  std::string error;
  if (!wic.Start(error) ||
      !OpenFrame(wic.factory(), GUID_ContainerFormatPng, bytes.data(), bytes.size(), decoded, error) ||
      !ReadRows(decoded.frame.get(), GUID_WICPixelFormat32bppBGRA, 4, header->width, header->height, take, error)) {
    return Error{"unreadable PNG: " + error};
  }
  return pixels;
}

Status StreamPng(const Image& image, const ByteSink& sink) {
  Wic wic;
  std::string error;
  if (!wic.Start(error)) return Error{"cannot write the PNG: " + error};
  SinkStream stream(sink);
  if (EncodeFrame(wic.factory(), &stream, image, error)) return {};
  return Error{"cannot write the PNG: " + (stream.failed() ? std::string("out of memory") : error)};
}

bool JpegDecodingAvailable() { return true; }

Result<Image> DecodeJpeg(const uint8_t* data, size_t size, uint32_t width, uint32_t height) {
  JpegFrame frame;
  if (!ReadJpegFrame(data, size, frame) || frame.components == 0) return Error{"unreadable JPEG data: no frame header"};
  const uint32_t channels = frame.components == 1 ? 1 : 3;
  if (const Status sized = CheckJpegFrameSize(frame.width, frame.height, width, height); !sized) return sized.failure();
  if (const Status fits = CheckImageSize(width, height, channels); !fits) return fits.failure();
  Wic wic;
  DecodedFrame decoded;
  Image pixels(width, height, channels);
  const RowsTaker take = [&pixels](uint32_t y, uint32_t rows, const uint8_t* rowPixels) {
    std::memcpy(pixels.Row(y), rowPixels, pixels.RowBytes() * rows);
  };
  const REFWICPixelFormatGUID format = channels == 1 ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppRGB;
  std::string error;
  if (!wic.Start(error) || !OpenFrame(wic.factory(), GUID_ContainerFormatJpeg, data, size, decoded, error) ||
      !ReadRows(decoded.frame.get(), format, channels, width, height, take, error)) {
    return Error{"unreadable JPEG data: " + error};
  }
  return pixels;
}

}  // namespace kav::tools
