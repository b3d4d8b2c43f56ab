#include "picture_filters.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "image_placement.h"
#include "kav_driver.h"
#include "support/files.h"
#include "support/picture_codecs.h"

namespace kav::app {
namespace {

struct DecoderDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using Decoder = std::unique_ptr<void, DecoderDeleter>;

struct OptionsDeleter {
  void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};
using PrintOptions = std::unique_ptr<pappl_pr_options_t, OptionsDeleter>;

// The resolution across and down that a file gives, in pixels per inch; 0
// when it gives none.
struct Density {
  int across = 0;
  int down = 0;
};

uint32_t BigEndian32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

Density JfifDensity(const std::vector<uint8_t>& file) {
  // After the start marker come segments: FF, the marker, a 2-byte length
  // counting itself. The JFIF segment (FF E0) holds "JFIF\0", a 2-byte
  // version, the unit and the two densities.
  for (size_t at = 2; at + 16 <= file.size() && file[at] == 0xFF;) {
    const uint8_t marker = file[at + 1];
    const size_t length = size_t{file[at + 2]} << 8 | file[at + 3];
    if (marker == 0xDA || length < 2) break;  // the picture data starts
    if (marker == 0xE0 && length >= 16 && std::memcmp(&file[at + 4], "JFIF", 5) == 0) {
      const int unit = file[at + 11];
      const int across = file[at + 12] << 8 | file[at + 13];
      const int down = file[at + 14] << 8 | file[at + 15];
      if (unit == 1) return {across, down};
      if (unit == 2) return {across * 254 / 100, down * 254 / 100};
      return {};
    }
    at += 2 + length;
  }
  return {};
}

Density PngDensity(const std::vector<uint8_t>& file) {
  // After the 8-byte signature come chunks: a 4-byte length, the type, the
  // data and a CRC. pHYs holds pixels per unit across and down, and the unit
  // (1: the metre); it comes before the first IDAT.
  for (size_t at = 8; at + 8 <= file.size();) {
    const uint32_t length = BigEndian32(&file[at]);
    const uint8_t* type = &file[at + 4];
    if (std::memcmp(type, "IDAT", 4) == 0 || length > file.size() - at - 8) break;
    if (std::memcmp(type, "pHYs", 4) == 0 && length >= 9) {
      if (file[at + 16] != 1) return {};
      const auto perInch = [](uint32_t perMetre) { return static_cast<int>(perMetre * 0.0254 + 0.5); };
      return {perInch(BigEndian32(&file[at + 8])), perInch(BigEndian32(&file[at + 12]))};
    }
    at += size_t{length} + 12;
  }
  return {};
}

// A decoded picture in the sheet's channels, and how it is placed.
struct Picture {
  PictureView view;
  int ppi;
  bool smoothing;  // interpolate when PAPPL scales it
};

bool FailUnprintable(pappl_job_t* job, const std::string& message) {
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, PAPPL_JREASON_NONE);
  return Fail(job, message);
}

bool FailUnreadable(pappl_job_t* job, const char* kind, const std::string& reason) {
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
  return Fail(job, std::string("The ") + kind + " document cannot be read: " + reason + ".");
}

size_t MaxImageBytes(pappl_job_t* job, int* maxWidth = nullptr, int* maxHeight = nullptr) {
  return papplSystemGetMaxImageSize(papplPrinterGetSystem(papplJobGetPrinter(job)), maxWidth, maxHeight);
}

// The document's bytes; a file larger than any picture the server prints is
// refused unread, as a compressed picture never holds more than its pixels.
std::optional<std::vector<uint8_t>> ReadDocument(pappl_job_t* job, const char* kind) {
  const char* path = papplJobGetFilename(job);
  if (path == nullptr) {
    Fail(job, "The job has no document file.");
    return {};
  }
  const size_t maxBytes = MaxImageBytes(job);
  const auto size = tools::RegularFileSize(path);
  if (!size) {
    FailUnreadable(job, kind, size.error());
    return {};
  }
  if (*size > maxBytes) {
    FailUnprintable(job, std::string("The ") + kind + " document is " + std::to_string(*size >> 20) +
                             " MiB; this server prints pictures of up to " + std::to_string(maxBytes >> 20) + " MiB.");
    return {};
  }
  auto file = tools::ReadWholeFile(path);
  if (!file) {
    FailUnreadable(job, kind, file.error());
    return {};
  }
  return std::move(*file);
}

// Refuses, before any pixel is decoded, a picture beyond the server's limits
// or with pixels that are not square.
bool Printable(pappl_job_t* job, const char* kind, int width, int height, int channels, Density density) {
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%s picture of %d x %d pixels at %d x %d ppi.", kind, width, height,
              density.across, density.down);
  int maxWidth = 0;
  int maxHeight = 0;
  const size_t maxBytes = MaxImageBytes(job, &maxWidth, &maxHeight);
  if (width > maxWidth || height > maxHeight || size_t(width) * size_t(height) * size_t(channels) > maxBytes) {
    return FailUnprintable(job, std::string("The ") + kind + " picture is " + std::to_string(width) + " x " +
                                    std::to_string(height) + " pixels; this server prints pictures of up to " +
                                    std::to_string(maxWidth) + " x " + std::to_string(maxHeight) + " pixels and " +
                                    std::to_string(maxBytes >> 20) + " MiB.");
  }
  if (density.across != density.down) {
    return FailUnprintable(job, std::string("The ") + kind + " picture's resolution differs across (" +
                                    std::to_string(density.across) + " ppi) and down (" + std::to_string(density.down) +
                                    " ppi).");
  }
  return true;
}

// The sheet's channels: PAPPL makes a gray sheet for a gray picture unless
// the job asks for colour, and for any picture when it asks for gray.
int SheetChannels(const pappl_pr_options_t& options) { return options.header.cupsNumColors == 1 ? 1 : 3; }

bool PrintUnscaled(pappl_job_t* job, pappl_device_t* device, const pappl_pr_options_t& options,
                   const PictureView& picture, SheetPosition position) {
  const cups_page_header2_t& header = options.header;
  papplJobSetImpressions(job, 1);
  if (!StartKavJob(job, device)) return false;
  std::vector<uint8_t> line(header.cupsBytesPerLine);
  bool ok = true;
  for (int copy = 0; ok && copy < options.copies; ++copy) {
    ok = StartKavPage(job, header, options.print_color_mode);
    for (unsigned y = 0; ok && y < header.cupsHeight; ++y) {
      SheetLine(picture, position, y, header.cupsWidth, line.data());
      ok = !papplJobIsCanceled(job) && WriteKavLine(job, y, line.data());
    }
    ok = ok && EndKavPage(job);
    if (ok) papplJobSetImpressionsCompleted(job, 1);
  }
  return EndKavJob(job) && ok;
}

bool PrintPicture(pappl_job_t* job, pappl_device_t* device, pappl_pr_options_t& options, const Picture& picture) {
  const PictureView& view = picture.view;
  if (const auto position = PlaceUnscaled(options, view.width, view.height, picture.ppi)) {
    return PrintUnscaled(job, device, options, view, *position);
  }
  return papplJobFilterImage(job, device, &options, view.pixels, view.width, view.height, view.channels, picture.ppi,
                             picture.smoothing);
}

bool FilterJpeg(pappl_job_t* job, pappl_device_t* device) {
  const auto file = ReadDocument(job, "JPEG");
  if (!file) return false;
  Decoder decoder(tjInitDecompress());
  if (!decoder) return Fail(job, "Unable to start the JPEG decoder.");
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(decoder.get(), file->data(), file->size(), &width, &height, &subsampling, &colorspace) != 0) {
    return FailUnreadable(job, "JPEG", tjGetErrorStr2(decoder.get()));
  }
  const PrintOptions options(papplJobCreatePrintOptions(job, 1, colorspace != TJCS_GRAY));
  if (!options) return Fail(job, "Unable to read the job's options.");
  const int channels = SheetChannels(*options);
  const Density density = JfifDensity(*file);
  if (!Printable(job, "JPEG", width, height, channels, density)) return false;
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[size_t(width) * size_t(height) * size_t(channels)]);
  if (!pixels) return FailUnprintable(job, "Not enough memory for the JPEG picture.");
  // A picture whose data ends early is printed as far as it goes, as PAPPL does.
  if (tjDecompress2(decoder.get(), file->data(), file->size(), pixels.get(), width, 0, height,
                    channels == 1 ? TJPF_GRAY : TJPF_RGB, 0) != 0 &&
      tjGetErrorCode(decoder.get()) != TJERR_WARNING) {
    return FailUnreadable(job, "JPEG", tjGetErrorStr2(decoder.get()));
  }
  return PrintPicture(job, device, *options, {{pixels.get(), width, height, channels}, density.across, true});
}

bool FilterPng(pappl_job_t* job, pappl_device_t* device) {
  const auto file = ReadDocument(job, "PNG");
  if (!file) return false;
  const auto header = tools::ReadPngHeader(*file);
  if (!header) return FailUnreadable(job, "PNG", header.error());
  const PrintOptions options(papplJobCreatePrintOptions(job, 1, header->channels > 1));
  if (!options) return Fail(job, "Unable to read the job's options.");
  const int channels = SheetChannels(*options);
  const int width = static_cast<int>(header->width);
  const int height = static_cast<int>(header->height);
  const Density density = PngDensity(*file);
  if (!Printable(job, "PNG", width, height, std::max(channels, int(header->channels)), density)) return false;
  Result<tools::Image> image = Error{"no picture"};
  try {
    image = tools::DecodePng(*file);
    if (image && image->channels != uint32_t(channels)) image = tools::ConvertChannels(*image, uint32_t(channels));
  } catch (const std::bad_alloc&) {
    return FailUnprintable(job, "Not enough memory for the PNG picture.");
  }
  if (!image) return FailUnreadable(job, "PNG", image.error());
  return PrintPicture(job, device, *options, {{image->pixels.data(), width, height, channels}, density.across, false});
}

}  // namespace

void AddPictureFilters(pappl_system_t* system) {
  AddDriverFilter(system, "image/jpeg", kDriverFormat, FilterJpeg);
  AddDriverFilter(system, "image/png", kDriverFormat, FilterPng);
}

}  // namespace kav::app
