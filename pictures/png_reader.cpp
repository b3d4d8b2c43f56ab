// PNG pictures through libpng's row interface, with the transforms its
// simplified interface makes for 8-bit gray or colour on white paper, so a
// picture decodes row by row to the very bytes it decoded to whole.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "host/luma.h"
#include "pictures/picture_reader.h"
#include "pictures/png_header.h"
#include "reader_support.h"

namespace kav::pictures {
namespace {

constexpr size_t kMessageBytes = 200;

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  std::snprintf(static_cast<char*>(png_get_error_ptr(png)), kMessageBytes, "%s", message);
  png_longjmp(png, 1);
}

// Warnings concern what the picture does without (a doubtful colour
// profile, a bad text chunk); its pixels are read all the same.
void OnWarning(png_structp, png_const_charp) {}

// Where the file's bytes come from: memory the caller keeps, or an open file.
struct Source {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;
  std::FILE* file = nullptr;
};

void ReadBytes(png_structp png, png_bytep bytes, size_t count) {
  auto* source = static_cast<Source*>(png_get_io_ptr(png));
  if (source->file != nullptr) {
    if (std::fread(bytes, 1, count, source->file) == count) return;
    png_error(png, std::ferror(source->file) ? "the file cannot be read" : "the data ends early");
  }
  if (count > source->size - source->at) png_error(png, "the data ends early");
  std::memcpy(bytes, source->data + source->at, count);
  source->at += count;
}

// The file's first bytes, and then the file from its start again.
Status ReadFirstBytes(std::FILE* file, uint8_t* bytes, size_t& count) {
  count = std::fread(bytes, 1, kPngHeaderBytes, file);
  if (std::ferror(file) || std::fseek(file, 0, SEEK_SET) != 0) return Error{"the file cannot be read"};
  return {};
}

Density PhysDensity(png_structp png, png_infop info) {
  png_uint_32 across = 0;
  png_uint_32 down = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &across, &down, &unit) == 0 || unit != PNG_RESOLUTION_METER) return {};
  const auto perInch = [](png_uint_32 perMetre) { return static_cast<int>(perMetre * 0.0254 + 0.5); };
  return {perInch(across), perInch(down)};
}

// A row in the file's channels to `channels`: a colour picture's gray is
// its luma, a gray picture's colour repeats the gray.
void ConvertRow(const uint8_t* from, uint32_t fromChannels, uint8_t* to, uint32_t channels, uint32_t width) {
  if (fromChannels == channels) {
    if (from != to) std::memcpy(to, from, size_t{width} * channels);
    return;
  }
  for (uint32_t x = 0; x < width; ++x) {
    if (channels == 1) {
      to[x] = Luma(from[3 * x], from[3 * x + 1], from[3 * x + 2]);
    } else {
      std::memset(to + 3 * size_t{x}, from[x], 3);
    }
  }
}

class PngReader final : public PictureReader {
 public:
  PngReader() = default;
  ~PngReader() override {
    png_destroy_read_struct(&png_, &pngInfo_, nullptr);
    if (source_.file != nullptr) std::fclose(source_.file);
  }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  Status OpenMemory(const uint8_t* data, size_t size) {
    source_.data = data;
    source_.size = size;
    return Open(data, size, size);
  }

  Status OpenFile(const std::string& path) {
    const Result<PictureFile> opened = OpenPictureFile(path);
    if (!opened) return opened.failure();
    source_.file = opened->file;
    uint8_t first[kPngHeaderBytes];
    size_t count = 0;
    if (const Status read = ReadFirstBytes(source_.file, first, count); !read) return read;
    return Open(first, count, opened->size);
  }

  Status Start(uint32_t channels, uint64_t heldLimit) override {
    if (const Status held = CheckHeld(info_.heldBytes, heldLimit); !held) return held;
    int passes = 1;
    if (!Guarded([&] { passes = SetTransforms(); })) return Failure();
    fileRowBytes_ = size_t{info_.width} * info_.channels;
    if (png_get_rowbytes(png_, pngInfo_) != fileRowBytes_) return Error{"rows of an unexpected layout"};
    if (passes > 1) {
      if (!Allocate(whole_, fileRowBytes_ * info_.height)) return Error{"not enough memory for the picture"};
      if (!Guarded([&] { ReadPasses(passes); })) return Failure();
    } else if (channels != info_.channels && !Allocate(fileRow_, fileRowBytes_)) {
      return Error{"not enough memory for a row"};
    }
    channels_ = channels;
    return {};
  }

  Status ReadRow(uint8_t* row) override {
    if (nextRow_ >= info_.height) return Error{"no rows left in the picture"};
    const uint8_t* fileRow = nullptr;
    if (whole_) {
      fileRow = whole_.get() + nextRow_ * fileRowBytes_;
    } else {
      uint8_t* target = fileRow_ ? fileRow_.get() : row;
      if (!Guarded([&] { png_read_row(png_, target, nullptr); })) return Failure();
      fileRow = target;
    }
    ConvertRow(fileRow, info_.channels, row, channels_, info_.width);
    ++nextRow_;
    return {};
  }

 private:
  // Runs libpng's calls; an error in them jumps back here and answers false.
  // Nothing here or in `step` has a destructor the jump could skip.
  template <class Step>
  bool Guarded(Step step) {
    if (setjmp(png_jmpbuf(png_)) != 0) return false;
    step();
    return true;
  }

  Status Failure() const { return Error{message_}; }

  static bool Allocate(std::unique_ptr<uint8_t[]>& buffer, size_t bytes) {
    buffer.reset(new (std::nothrow) uint8_t[bytes]);
    return buffer != nullptr;
  }

  // Checks what the first bytes claim before libpng is given the file.
  Status Open(const uint8_t* first, size_t count, uint64_t fileBytes) {
    const Result<PngHeader> header = ParsePngHeader(first, count);
    if (!header) return header.failure();
    if (const Status held = CheckPngDataSize(*header, fileBytes); !held) return held;
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, message_, OnError, OnWarning);
    pngInfo_ = png_ == nullptr ? nullptr : png_create_info_struct(png_);
    if (pngInfo_ == nullptr) return Error{"not enough memory to read the picture"};
    png_set_read_fn(png_, &source_, ReadBytes);
    if (!Guarded([this] {
          png_set_benign_errors(png_, 1);
          png_read_info(png_, pngInfo_);
        })) {
      return Failure();
    }
    info_.width = png_get_image_width(png_, pngInfo_);
    info_.height = png_get_image_height(png_, pngInfo_);
    info_.channels = (png_get_color_type(png_, pngInfo_) & PNG_COLOR_MASK_COLOR) != 0 ? 3 : 1;
    info_.density = PhysDensity(png_, pngInfo_);
    // An interlaced picture's rows come in seven passes over the whole picture.
    const bool interlaced = png_get_interlace_type(png_, pngInfo_) != PNG_INTERLACE_NONE;
    info_.heldBytes = interlaced ? uint64_t{info_.width} * info_.height * info_.channels : 0;
    return {};
  }

  // The simplified interface's transforms, in its order, for 8-bit output in
  // the file's channels without alpha, on white; answers the passes to read.
  int SetTransforms() {
    const png_byte type = png_get_color_type(png_, pngInfo_);
    const bool alpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png_, pngInfo_, PNG_INFO_tRNS) != 0;
    const bool sixteenBits = png_get_bit_depth(png_, pngInfo_) == 16;
    png_set_expand(png_);
    // 16-bit samples of a file that says nothing of its gamma are linear.
    png_set_alpha_mode_fixed(png_, PNG_ALPHA_PNG, sixteenBits ? PNG_GAMMA_LINEAR : PNG_DEFAULT_sRGB);
    if (sixteenBits) png_set_scale_16(png_);
    if (alpha) {
      png_color_16 white{};
      white.red = white.green = white.blue = white.gray = 255;
      png_set_background_fixed(png_, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 0);
    }
    png_set_alpha_mode_fixed(png_, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    const int passes = png_set_interlace_handling(png_);
    png_read_update_info(png_, pngInfo_);
    return passes;
  }

  void ReadPasses(int passes) {
    for (int pass = 0; pass < passes; ++pass) {
      for (uint32_t y = 0; y < info_.height; ++y) png_read_row(png_, whole_.get() + y * fileRowBytes_, nullptr);
    }
  }

  png_structp png_ = nullptr;
  png_infop pngInfo_ = nullptr;
  char message_[kMessageBytes] = {};
  Source source_;
  size_t fileRowBytes_ = 0;
  std::unique_ptr<uint8_t[]> fileRow_;  // a row in the file's channels, when they are not the output's
  std::unique_ptr<uint8_t[]> whole_;    // every row of an interlaced picture
  uint32_t nextRow_ = 0;
};

}  // namespace

Result<Reader> OpenPng(const uint8_t* data, size_t size) {
  return OpenReader<PngReader>([&](PngReader& reader) { return reader.OpenMemory(data, size); });
}

Result<Reader> OpenPngFile(const std::string& path) {
  return OpenReader<PngReader>([&](PngReader& reader) { return reader.OpenFile(path); });
}

}  // namespace kav::pictures
