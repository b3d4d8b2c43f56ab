// JPEG pictures through libjpeg's scanline interface.
#include <cstdio>  // jpeglib.h uses FILE without including it
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <climits>
#include <csetjmp>
#include <cstring>

#include "pictures/picture_reader.h"
#include "reader_support.h"

namespace kav::pictures {
namespace {

// A progressive picture of more scans than this is refused: each scan goes
// over the coefficients again, and real pictures have about ten.
constexpr int kMostScans = 1000;
// What libjpeg holds besides the coefficients of a picture of several
// scans: its row buffers and tables, a few MiB even for the widest picture.
constexpr uint64_t kRowBuffers = uint64_t{32} << 20;

struct Errors {
  jpeg_error_mgr manager;  // first: libjpeg hands back a pointer to it
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  char warning[JMSG_LENGTH_MAX];
};

Errors& ErrorsOf(j_common_ptr common) { return *reinterpret_cast<Errors*>(common->err); }

[[noreturn]] void OnError(j_common_ptr common) {
  Errors& errors = ErrorsOf(common);
  common->err->format_message(common, errors.message);
  std::longjmp(errors.jump, 1);
}

// Warnings are counted and the first kept; trace messages are dropped.
// (libjpeg would print both on the standard error.)
void OnMessage(j_common_ptr common, int level) {
  if (level >= 0) return;
  Errors& errors = ErrorsOf(common);
  if (errors.manager.num_warnings++ == 0) common->err->format_message(common, errors.warning);
}

void OnProgress(j_common_ptr common) {
  const auto* picture = reinterpret_cast<j_decompress_ptr>(common);
  if (!picture->progressive_mode || picture->input_scan_number <= kMostScans) return;
  Errors& errors = ErrorsOf(common);
  std::snprintf(errors.message, sizeof errors.message, "a progressive picture of more than %d scans", kMostScans);
  std::longjmp(errors.jump, 1);
}

uint64_t RoundUp(uint64_t value, uint64_t step) { return (value + step - 1) / step * step; }

// What libjpeg holds for a picture of several scans (progressive, or its
// components in scans of their own): every coefficient of the picture.
uint64_t CoefficientBytes(const jpeg_decompress_struct& picture) {
  uint64_t bytes = 0;
  for (int i = 0; i < picture.num_components; ++i) {
    const jpeg_component_info& component = picture.comp_info[i];
    bytes += RoundUp(component.width_in_blocks, component.h_samp_factor) *
             RoundUp(component.height_in_blocks, component.v_samp_factor) * sizeof(JBLOCK);
  }
  return bytes;
}

Density JfifDensity(const jpeg_decompress_struct& picture) {
  if (!picture.saw_JFIF_marker) return {};
  if (picture.density_unit == 1) return {picture.X_density, picture.Y_density};
  if (picture.density_unit == 2) return {picture.X_density * 254 / 100, picture.Y_density * 254 / 100};
  return {};
}

class JpegReader final : public PictureReader {
 public:
  JpegReader() {
    picture_.err = jpeg_std_error(&errors_.manager);
    errors_.manager.error_exit = OnError;
    errors_.manager.emit_message = OnMessage;
    progress_.progress_monitor = OnProgress;
  }
  ~JpegReader() override {
    jpeg_destroy_decompress(&picture_);
    if (file_ != nullptr) std::fclose(file_);
  }
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;

  Status OpenMemory(const uint8_t* data, size_t size) {
    if (!Guarded([&] {
          jpeg_create_decompress(&picture_);
          jpeg_mem_src(&picture_, data, static_cast<unsigned long>(size));
        })) {
      return Failure();
    }
    return ReadHeader();
  }

  Status OpenFile(const std::string& path) {
    const Result<PictureFile> opened = OpenPictureFile(path);
    if (!opened) return opened.failure();
    file_ = opened->file;
    if (!Guarded([this] {
          jpeg_create_decompress(&picture_);
          jpeg_stdio_src(&picture_, file_);
        })) {
      return Failure();
    }
    return ReadHeader();
  }

  Status Start(uint32_t channels, uint64_t heldLimit) override {
    if (const Status held = CheckHeld(info_.heldBytes, heldLimit); !held) return held;
    picture_.out_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    constexpr uint64_t kMost = LONG_MAX;
    picture_.mem->max_memory_to_use =
        static_cast<long>(heldLimit < kMost - kRowBuffers ? heldLimit + kRowBuffers : kMost);
    picture_.progress = &progress_;
    if (!Guarded([this] { jpeg_start_decompress(&picture_); })) return Failure();
    channels_ = channels;
    return {};
  }

  Status ReadRow(uint8_t* row) override {
    if (picture_.output_scanline >= picture_.output_height) return Error{"no rows left in the picture"};
    JSAMPROW rows[1] = {row};
    if (!Guarded([&] { jpeg_read_scanlines(&picture_, rows, 1); })) return Failure();
    return {};
  }

  std::string Damage() const override { return errors_.manager.num_warnings > 0 ? errors_.warning : ""; }

 private:
  // Runs libjpeg's calls; an error in them jumps back here and answers false.
  // Nothing here or in `step` has a destructor the jump could skip.
  template <class Step>
  bool Guarded(Step step) {
    if (setjmp(errors_.jump) != 0) return false;
    step();
    return true;
  }

  Status Failure() const { return Error{errors_.message}; }

  Status ReadHeader() {
    bool severalScans = false;
    if (!Guarded([&] {
          jpeg_read_header(&picture_, TRUE);
          severalScans = jpeg_has_multiple_scans(&picture_);
        })) {
      return Failure();
    }
    info_.width = picture_.image_width;
    info_.height = picture_.image_height;
    info_.channels = picture_.jpeg_color_space == JCS_GRAYSCALE ? 1 : 3;
    info_.density = JfifDensity(picture_);
    info_.heldBytes = severalScans ? CoefficientBytes(picture_) : 0;
    return {};
  }

  Errors errors_{};
  jpeg_decompress_struct picture_{};
  jpeg_progress_mgr progress_{};
  std::FILE* file_ = nullptr;
};

}  // namespace

Result<Reader> OpenJpeg(const uint8_t* data, size_t size) {
  return OpenReader<JpegReader>([&](JpegReader& reader) { return reader.OpenMemory(data, size); });
}

Result<Reader> OpenJpegFile(const std::string& path) {
  return OpenReader<JpegReader>([&](JpegReader& reader) { return reader.OpenFile(path); });
}

}  // namespace kav::pictures
