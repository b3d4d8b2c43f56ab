// The build has libpng: PNG pictures are read by the pictures library's
// reader (the one the printer app reads PNG with) and written row by row,
// compressed as they go.
#include <png.h>

#include <csetjmp>

#include "pictures/picture_reader.h"
#include "support/picture_codecs.h"

namespace kav::tools {
namespace {

// Pages are mostly paper white, which the fastest deflate level already packs
// tightly: on an A4 page at 600 dpi the default level took twice as long and
// gained nothing on a colour page.
constexpr int kDeflateLevel = 1;

struct PngWriting {
  const ByteSink& sink;
  std::string message;
  bool sinkFailed = false;
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  static_cast<PngWriting*>(png_get_error_ptr(png))->message = message;
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnWrite(png_structp png, png_bytep data, size_t size) {
  auto* writing = static_cast<PngWriting*>(png_get_io_ptr(png));
  // No exception may pass through libpng's C frames: a failing sink is
  // turned into libpng's own error once the handler is left.
  try {
    writing->sink(data, size);
  } catch (...) {
    writing->sinkFailed = true;
  }
  if (writing->sinkFailed) png_error(png, "out of memory");
}

void OnFlush(png_structp) {}

// Holds no object with a destructor, so libpng's jump back here on an
// error skips none.
bool WriteRows(png_structp png, png_infop info, const Image& image) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, image.width, image.height, 8, image.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, kDeflateLevel);
  png_write_info(png, info);
  for (uint32_t y = 0; y < image.height; ++y) png_write_row(png, image.Row(y));
  png_write_end(png, info);
  return true;
}

}  // namespace

bool PngAvailable() { return true; }

Result<Image> DecodePng(const std::vector<uint8_t>& bytes) {
  const Result<PngHeader> header = ReadPngHeader(bytes);
  if (!header) return header.failure();
  const Result<pictures::Reader> opened = pictures::OpenPng(bytes.data(), bytes.size());
  if (!opened) return Error{"unreadable PNG: " + opened.error()};
  pictures::PictureReader& reader = **opened;
  Image image(header->width, header->height, header->channels);
  Status decoded = reader.Start(header->channels, kMaxImageBytes);
  if (decoded) decoded = pictures::ReadEveryRow(reader, image.pixels.data());
  if (!decoded) return Error{"unreadable PNG: " + decoded.error()};
  return image;
}

Status StreamPng(const Image& image, const ByteSink& sink) {
  PngWriting writing{sink, {}};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &writing, OnError, OnWarning);
  png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
  bool ok = info != nullptr;
  if (ok) {
    png_set_write_fn(png, &writing, OnWrite, OnFlush);
    ok = WriteRows(png, info, image);
  }
  png_destroy_write_struct(&png, &info);
  if (ok) return {};
  return Error{"cannot write the PNG: " + (writing.message.empty() ? std::string("out of memory") : writing.message)};
}

}  // namespace kav::tools
