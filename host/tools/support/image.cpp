#include "support/image.h"

#include <cstring>

#include "support/files.h"
#include "support/picture_codecs.h"

namespace kav::tools {
namespace {

// The header and samples of a PNM file, read token by token.
class PnmReader {
 public:
  explicit PnmReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

  // Why Read failed.
  const std::string& error() const { return error_; }

  bool Read(Image& image) {
    if (bytes_.size() < 2 || bytes_[0] != 'P' || bytes_[1] < '1' || bytes_[1] > '6') {
      return Fail("not a PNM file (no P1 to P6 signature)");
    }
    const int kind = bytes_[1] - '0';
    at_ = 2;
    const bool bitmap = kind == 1 || kind == 4;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t maxValue = 1;
    if (!Number(width, "width") || !Number(height, "height")) return false;
    if (!bitmap && !Number(maxValue, "maximum value")) return false;
    if (width == 0 || height == 0) return Fail("PNM image with no pixels");
    if (maxValue == 0 || maxValue > 65535) return Fail("PNM maximum value outside 1 to 65535");
    const uint32_t channels = kind == 3 || kind == 6 ? 3 : 1;
    if (const Status size = CheckImageSize(width, height, channels); !size) return Fail(size.error());
    if (kind >= 4) {
      // Exactly one whitespace byte ends the header of a binary file.
      if (at_ >= bytes_.size() || !IsSpace(bytes_[at_])) return Fail("PNM header not followed by its pixels");
      ++at_;
    }
    // The pixels are counted before they are allocated, so a short file
    // cannot make the reader reserve what its header claims.
    if (bytes_.size() - at_ < LeastPixelBytes(kind, width, height, channels, maxValue)) return Truncated();
    image = Image(width, height, channels);
    if (kind == 4) return ReadPackedBits(image);
    if (kind == 1) return ReadTextBits(image);
    return kind >= 5 ? ReadBinarySamples(image, maxValue) : ReadTextSamples(image, maxValue);
  }

 private:
  static bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

  bool Fail(const std::string& message) {
    error_ = message;
    return false;
  }

  // Skips whitespace and comments (from '#' to the end of the line).
  void SkipSpace() {
    while (at_ < bytes_.size()) {
      if (bytes_[at_] == '#') {
        while (at_ < bytes_.size() && bytes_[at_] != '\n' && bytes_[at_] != '\r') ++at_;
      } else if (IsSpace(bytes_[at_])) {
        ++at_;
      } else {
        return;
      }
    }
  }

  bool Number(uint32_t& value, const char* what) {
    SkipSpace();
    const size_t start = at_;
    uint64_t n = 0;
    while (at_ < bytes_.size() && bytes_[at_] >= '0' && bytes_[at_] <= '9') {
      n = n * 10 + (bytes_[at_++] - '0');
      if (n > 0xFFFFFFFFu) return Fail(std::string("PNM ") + what + " too large");
    }
    if (at_ == start) {
      return Fail(std::string("PNM file truncated or malformed: no ") + what + " at byte " + std::to_string(at_));
    }
    value = static_cast<uint32_t>(n);
    return true;
  }

  static uint8_t Scale(uint32_t sample, uint32_t maxValue) {
    return static_cast<uint8_t>((uint64_t{sample} * 255 + maxValue / 2) / maxValue);
  }

  bool Truncated() { return Fail("PNM file truncated: fewer pixels than its header declares"); }

  // The fewest bytes that can hold the pixels: exact for the binary forms;
  // a digit per sample, with a space between samples, for the text forms.
  static uint64_t LeastPixelBytes(int kind, uint64_t width, uint64_t height, uint32_t channels, uint32_t maxValue) {
    const uint64_t samples = width * height * channels;
    if (kind == 4) return (width + 7) / 8 * height;
    if (kind >= 5) return samples * (maxValue > 255 ? 2 : 1);
    return kind == 1 ? samples : 2 * samples - 1;
  }

  bool ReadPackedBits(Image& image) {
    const size_t rowBytes = (image.width + 7) / 8;
    for (uint32_t y = 0; y < image.height; ++y) {
      uint8_t* row = image.Row(y);
      const uint8_t* source = bytes_.data() + at_ + y * rowBytes;
      for (uint32_t x = 0; x < image.width; ++x) row[x] = (source[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
    }
    return true;
  }

  bool ReadTextBits(Image& image) {
    for (uint8_t& pixel : image.pixels) {
      SkipSpace();
      if (at_ >= bytes_.size()) return Truncated();
      const uint8_t c = bytes_[at_++];
      if (c != '0' && c != '1') return Fail("PBM pixel other than 0 or 1 at byte " + std::to_string(at_ - 1));
      pixel = c == '1' ? 0 : 255;
    }
    return true;
  }

  bool ReadBinarySamples(Image& image, uint32_t maxValue) {
    const size_t sampleBytes = maxValue > 255 ? 2 : 1;
    const uint8_t* source = bytes_.data() + at_;
    for (uint8_t& pixel : image.pixels) {
      const uint32_t sample = sampleBytes == 2 ? (uint32_t{source[0]} << 8) | source[1] : source[0];
      source += sampleBytes;
      if (sample > maxValue) return Fail("PNM sample above the maximum value");
      pixel = Scale(sample, maxValue);
    }
    return true;
  }

  bool ReadTextSamples(Image& image, uint32_t maxValue) {
    for (uint8_t& pixel : image.pixels) {
      SkipSpace();
      if (at_ >= bytes_.size()) return Truncated();
      uint32_t sample = 0;
      if (!Number(sample, "sample")) return false;
      if (sample > maxValue) return Fail("PNM sample above the maximum value");
      pixel = Scale(sample, maxValue);
    }
    return true;
  }

  const std::vector<uint8_t>& bytes_;
  std::string error_;
  size_t at_ = 0;
};

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    const char c = text[text.size() - n + i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != suffix[i]) return false;
  }
  return true;
}

}  // namespace

Status CheckImageSize(uint64_t width, uint64_t height, uint32_t channels) {
  if (width > (1u << 24) || height > (1u << 24) || width * height * channels > kMaxImageBytes) {
    return Error{"image of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels is too large (at most " + std::to_string(kMaxImageBytes >> 20) + " MiB of pixels)"};
  }
  return {};
}

Result<Image> DecodePnm(const std::vector<uint8_t>& bytes) {
  PnmReader reader(bytes);
  Image image;
  if (!reader.Read(image)) return Error{reader.error()};
  return image;
}

Result<PngHeader> ReadPngHeader(const std::vector<uint8_t>& bytes) {
  const Result<PngHeader> header = pictures::ParsePngHeader(bytes.data(), bytes.size());
  if (!header) return Error{"unreadable PNG: " + header.error()};
  if (const Status fits = CheckImageSize(header->width, header->height, header->channels); !fits) {
    return fits.failure();
  }
  if (const Status held = pictures::CheckPngDataSize(*header, bytes.size()); !held) {
    return Error{"unreadable PNG: " + held.error()};
  }
  return header;
}

Status CheckJpegFrameSize(uint32_t fileWidth, uint32_t fileHeight, uint32_t width, uint32_t height) {
  if (fileWidth == width && fileHeight == height) return {};
  return Error{"the JPEG data is " + std::to_string(fileWidth) + "x" + std::to_string(fileHeight) +
               ", the record says " + std::to_string(width) + "x" + std::to_string(height)};
}

Result<Image> ReadImageFile(const std::string& path) {
  const Result<std::vector<uint8_t>> bytes = ReadWholeFile(path);
  if (!bytes) return bytes.failure();
  const bool png = bytes->size() >= 8 && std::memcmp(bytes->data(), kPngSignature, 8) == 0;
  return WithContext(png ? DecodePng(*bytes) : DecodePnm(*bytes), path);
}

void StreamPnm(const Image& image, const ByteSink& sink) {
  const std::string header = std::string(image.channels == 3 ? "P6" : "P5") + "\n" + std::to_string(image.width) + " " +
                             std::to_string(image.height) + "\n255\n";
  sink(reinterpret_cast<const uint8_t*>(header.data()), header.size());
  sink(image.pixels.data(), image.pixels.size());
}

bool IsImageFileName(const std::string& path) {
  return EndsWith(path, ".png") || EndsWith(path, ".pnm") || EndsWith(path, ".pgm") || EndsWith(path, ".ppm");
}

Status WriteImageTo(OutputFile& file, const Image& image) {
  if (!IsImageFileName(file.path())) {
    return Error{file.path() + ": unknown picture format (name it .png, .pnm, .pgm or .ppm)"};
  }
  const ByteSink sink = [&file](const uint8_t* bytes, size_t size) { file.Write(bytes, size); };
  if (EndsWith(file.path(), ".png")) {
    if (const Status written = StreamPng(image, sink); !written) return WithContext(written, file.path());
  } else {
    StreamPnm(image, sink);
  }
  return file.Finish();
}

Status WriteImageFile(const std::string& path, const Image& image) {
  OutputFile file;
  if (const Status opened = file.Open(path); !opened) return opened;
  if (const Status written = WriteImageTo(file, image); !written) return written;
  return file.Place();
}

Image ConvertChannels(const Image& image, uint32_t channels) {
  if (image.channels == channels) return image;
  Image out(image.width, image.height, channels);
  const size_t count = static_cast<size_t>(image.width) * image.height;
  for (size_t i = 0; i < count; ++i) {
    if (channels == 1) {
      const uint8_t* p = &image.pixels[3 * i];
      out.pixels[i] = Luma(p[0], p[1], p[2]);
    } else {
      std::memset(&out.pixels[3 * i], image.pixels[i], 3);
    }
  }
  return out;
}

}  // namespace kav::tools
