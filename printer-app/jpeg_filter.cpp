#include "jpeg_filter.h"

#include <turbojpeg.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "image_placement.h"
#include "kav_driver.h"
#include "support/files.h"

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

struct Picture {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::unique_ptr<uint8_t[]> pixels;
};

// The resolution across and down that a JFIF header gives, in pixels per
// inch; 0 when the file has none or gives no unit.
struct Density {
  int across = 0;
  int down = 0;
};

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

bool FailUnprintable(pappl_job_t* job, const std::string& message) {
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, PAPPL_JREASON_NONE);
  return Fail(job, message);
}

bool FailUnreadable(pappl_job_t* job, tjhandle decoder) {
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
  return Fail(job, std::string("The JPEG document cannot be read: ") + tjGetErrorStr2(decoder) + ".");
}

// Refuses a picture beyond the server's limits before any pixel is kept.
bool WithinLimits(pappl_job_t* job, int width, int height, int channels) {
  int maxWidth = 0;
  int maxHeight = 0;
  const size_t maxBytes =
      papplSystemGetMaxImageSize(papplPrinterGetSystem(papplJobGetPrinter(job)), &maxWidth, &maxHeight);
  if (width <= maxWidth && height <= maxHeight && size_t(width) * size_t(height) * size_t(channels) <= maxBytes) {
    return true;
  }
  return FailUnprintable(job, "The JPEG picture is " + std::to_string(width) + " x " + std::to_string(height) +
                                  " pixels; this server prints pictures of up to " + std::to_string(maxWidth) + " x " +
                                  std::to_string(maxHeight) + " pixels and " + std::to_string(maxBytes >> 20) +
                                  " MiB.");
}

bool PrintUnscaled(pappl_job_t* job, pappl_device_t* device, const pappl_pr_options_t& options, const Picture& picture,
                   SheetPosition position) {
  const cups_page_header2_t& header = options.header;
  papplJobSetImpressions(job, 1);
  if (!StartKavJob(job, device)) return false;
  const PictureView view{picture.pixels.get(), picture.width, picture.height, picture.channels};
  std::vector<uint8_t> line(header.cupsBytesPerLine);
  bool ok = true;
  for (int copy = 0; ok && copy < options.copies; ++copy) {
    ok = StartKavPage(job, header, options.print_color_mode);
    for (unsigned y = 0; ok && y < header.cupsHeight; ++y) {
      SheetLine(view, position, y, header.cupsWidth, line.data());
      ok = !papplJobIsCanceled(job) && WriteKavLine(job, y, line.data());
    }
    ok = ok && EndKavPage(job);
    if (ok) papplJobSetImpressionsCompleted(job, 1);
  }
  return EndKavJob(job) && ok;
}

bool FilterJpeg(pappl_job_t* job, pappl_device_t* device, void*) {
  const char* path = papplJobGetFilename(job);
  if (path == nullptr) return Fail(job, "The job has no document file.");
  // A JPEG file never holds more than its pixels would.
  const size_t maxBytes = papplSystemGetMaxImageSize(papplPrinterGetSystem(papplJobGetPrinter(job)), nullptr, nullptr);
  const auto size = tools::RegularFileSize(path);
  if (!size) return Fail(job, "The JPEG document cannot be read: " + size.error() + ".");
  if (*size > maxBytes) {
    return FailUnprintable(job, "The JPEG document is " + std::to_string(*size >> 20) +
                                    " MiB; this server prints pictures of up to " + std::to_string(maxBytes >> 20) +
                                    " MiB.");
  }
  const auto file = tools::ReadWholeFile(path);
  if (!file) return Fail(job, "The JPEG document cannot be read: " + file.error() + ".");
  Decoder decoder(tjInitDecompress());
  if (!decoder) return Fail(job, "Unable to start the JPEG decoder.");
  Picture picture;
  int subsampling = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(decoder.get(), file->data(), file->size(), &picture.width, &picture.height, &subsampling,
                          &colorspace) != 0) {
    return FailUnreadable(job, decoder.get());
  }
  const PrintOptions options(papplJobCreatePrintOptions(job, 1, colorspace != TJCS_GRAY));
  if (!options) return Fail(job, "Unable to read the job's options.");
  picture.channels = options->header.cupsNumColors == 1 ? 1 : 3;
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "JPEG picture of %d x %d pixels, %d channels.", picture.width, picture.height,
              picture.channels);
  if (!WithinLimits(job, picture.width, picture.height, picture.channels)) return false;
  const Density density = JfifDensity(*file);
  if (density.across != density.down) {
    return FailUnprintable(job, "The JPEG picture's resolution differs across (" + std::to_string(density.across) +
                                    " ppi) and down (" + std::to_string(density.down) + " ppi).");
  }
  const size_t bytes = size_t(picture.width) * size_t(picture.height) * size_t(picture.channels);
  picture.pixels.reset(new (std::nothrow) uint8_t[bytes]);
  if (!picture.pixels) return FailUnprintable(job, "Not enough memory for the JPEG picture.");
  if (tjDecompress2(decoder.get(), file->data(), file->size(), picture.pixels.get(), picture.width, 0, picture.height,
                    picture.channels == 1 ? TJPF_GRAY : TJPF_RGB, 0) != 0 &&
      tjGetErrorCode(decoder.get()) != TJERR_WARNING) {
    return FailUnreadable(job, decoder.get());
  }
  if (const auto position = PlaceUnscaled(*options, picture.width, picture.height, density.across)) {
    return PrintUnscaled(job, device, *options, picture, *position);
  }
  return papplJobFilterImage(job, device, options.get(), picture.pixels.get(), picture.width, picture.height,
                             picture.channels, density.across, true);
}

}  // namespace

void AddJpegFilter(pappl_system_t* system) {
  papplSystemAddMIMEFilter(system, "image/jpeg", kDriverFormat, FilterJpeg, nullptr);
}

}  // namespace kav::app
