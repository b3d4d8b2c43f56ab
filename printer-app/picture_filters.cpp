#include "picture_filters.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "image_placement.h"
#include "kav_driver.h"
#include "pictures/picture_reader.h"

namespace kav::app {
namespace {

using pictures::PictureInfo;
using pictures::PictureReader;
using pictures::Reader;

struct OptionsDeleter {
  void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};
using PrintOptions = std::unique_ptr<pappl_pr_options_t, OptionsDeleter>;

// How the pictures of a format are read and placed.
struct PictureFormat {
  const char* name;  // as messages name it
  Result<Reader> (*open)(const std::string& path);
  bool smoothing;  // interpolate when PAPPL scales it
};

constexpr PictureFormat kJpeg{"JPEG", pictures::OpenJpegFile, true};
constexpr PictureFormat kPng{"PNG", pictures::OpenPngFile, false};

bool FailUnprintable(pappl_job_t* job, const std::string& message) {
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, PAPPL_JREASON_NONE);
  return Fail(job, message);
}

bool FailUnreadable(pappl_job_t* job, const PictureFormat& format, const std::string& reason) {
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
  return Fail(job, std::string("The ") + format.name + " document cannot be read: " + reason + ".");
}

std::string MiB(uint64_t bytes) { return std::to_string(bytes >> 20); }

// The most memory a picture may take: what the largest sheet the printer
// takes needs at its highest resolution, in colour. PAPPL's scaling holds
// the whole picture, and a picture with more pixels shows no more on any
// sheet; a picture that goes to the driver row by row holds only what its
// decoder must (see pictures/picture_reader.h).
struct MemoryBound {
  uint64_t bytes = 0;
  std::string reason;  // what the bound is
};

MemoryBound PictureMemoryBound(pappl_job_t* job) {
  pappl_pr_driver_data_t driver;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &driver);
  MemoryBound bound;
  for (int m = 0; m < driver.num_media; ++m) {
    const pwg_media_t* media = pwgMediaForPWG(driver.media[m]);
    if (media == nullptr) continue;
    for (int r = 0; r < driver.num_resolution; ++r) {
      const int xdpi = driver.x_resolution[r];
      const int ydpi = driver.y_resolution[r];
      const uint64_t bytes = uint64_t(PixelsOf(media->width, xdpi)) * uint64_t(PixelsOf(media->length, ydpi)) * 3;
      if (bytes <= bound.bytes) continue;
      bound.bytes = bytes;
      bound.reason = "what the largest sheet it takes, " + std::to_string(media->width / 100) + " x " +
                     std::to_string(media->length / 100) + " mm, needs at " + std::to_string(std::max(xdpi, ydpi)) +
                     " dpi in colour";
    }
  }
  return bound;
}

// Refuses a picture that would take more memory than the bound, before
// anything of it is decoded.
bool WithinMemoryBound(pappl_job_t* job, const PictureFormat& format, const PictureInfo& info, uint64_t bytes,
                       const char* use) {
  const MemoryBound bound = PictureMemoryBound(job);
  if (bytes <= bound.bytes) return true;
  return FailUnprintable(job, std::string("The ") + format.name + " picture of " + std::to_string(info.width) + " x " +
                                  std::to_string(info.height) + " pixels needs " + MiB(bytes) + " MiB of memory " +
                                  use + "; this server gives a picture at most " + MiB(bound.bytes) + " MiB (" +
                                  bound.reason + ").");
}

size_t MaxImageBytes(pappl_job_t* job, int* maxWidth = nullptr, int* maxHeight = nullptr) {
  return papplSystemGetMaxImageSize(papplPrinterGetSystem(papplJobGetPrinter(job)), maxWidth, maxHeight);
}

// A document file larger than any picture the server prints is refused
// unread, as a compressed picture never holds more than its pixels.
bool WithinFileLimit(pappl_job_t* job, const PictureFormat& format, const char* path) {
  struct stat status {};
  if (stat(path, &status) != 0) return true;  // the reader says why it cannot open it
  const size_t maxBytes = MaxImageBytes(job);
  if (static_cast<uint64_t>(status.st_size) <= maxBytes) return true;
  return FailUnprintable(job, std::string("The ") + format.name + " document is " + MiB(status.st_size) +
                                  " MiB; this server prints pictures of up to " + MiB(maxBytes) + " MiB.");
}

// Refuses, before any pixel is decoded, a picture beyond the server's image
// limits or with pixels that are not square.
bool Printable(pappl_job_t* job, const PictureFormat& format, const PictureInfo& info, int channels) {
  const pictures::Density density = info.density;
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%s picture of %u x %u pixels at %d x %d ppi.", format.name, info.width,
              info.height, density.across, density.down);
  int maxWidth = 0;
  int maxHeight = 0;
  const size_t maxBytes = MaxImageBytes(job, &maxWidth, &maxHeight);
  if (info.width > uint32_t(maxWidth) || info.height > uint32_t(maxHeight) ||
      uint64_t{info.width} * info.height * uint64_t(channels) > maxBytes) {
    return FailUnprintable(job, std::string("The ") + format.name + " picture is " + std::to_string(info.width) +
                                    " x " + std::to_string(info.height) +
                                    " pixels; this server prints pictures of up to " + std::to_string(maxWidth) +
                                    " x " + std::to_string(maxHeight) + " pixels and " + MiB(maxBytes) + " MiB.");
  }
  if (density.across != density.down) {
    return FailUnprintable(job, std::string("The ") + format.name + " picture's resolution differs across (" +
                                    std::to_string(density.across) + " ppi) and down (" + std::to_string(density.down) +
                                    " ppi).");
  }
  return true;
}

// JPEG data that is corrupt or ends early prints as far as it goes, as
// PAPPL prints it; the log says so.
void LogDamage(pappl_job_t* job, const PictureFormat& format, const PictureReader& reader) {
  const std::string damage = reader.Damage();
  if (damage.empty()) return;
  papplLogJob(job, PAPPL_LOGLEVEL_WARN, "The %s picture's data is damaged (%s); it prints as far as it goes.",
              format.name, damage.c_str());
}

// The sheet's channels: PAPPL makes a gray sheet for a gray picture unless
// the job asks for colour, and for any picture when it asks for gray.
int SheetChannels(const pappl_pr_options_t& options) { return options.header.cupsNumColors == 1 ? 1 : 3; }

// Starts decoding to the sheet's channels, holding no more than the
// picture's header said (and the memory bound allowed).
Status StartDecoding(PictureReader& reader, int channels) {
  return reader.Start(uint32_t(channels), reader.info().heldBytes);
}

// The file read anew, for a further copy.
Status Reopen(const PictureFormat& format, const char* path, int channels, Reader& reader) {
  Result<Reader> opened = format.open(path);
  if (!opened) return opened.failure();
  reader = std::move(*opened);
  return StartDecoding(*reader, channels);
}

// One page a copy, each line sent as soon as the picture's row on it is
// decoded; each further copy decodes the file again. A picture whose data
// fails part way is ended with paper white, so the printer is never left
// inside a page, and the job fails.
bool PrintUnscaled(pappl_job_t* job, pappl_device_t* device, const pappl_pr_options_t& options,
                   const PictureFormat& format, Reader reader, SheetPosition position, int channels) {
  const cups_page_header2_t& header = options.header;
  const PictureInfo info = reader->info();
  Status decoded = StartDecoding(*reader, channels);
  if (!decoded) return FailUnreadable(job, format, decoded.error());
  papplJobSetImpressions(job, 1);
  if (!StartKavJob(job, device)) return false;
  std::vector<uint8_t> line(header.cupsBytesPerLine);
  std::vector<uint8_t> row(size_t{info.width} * size_t(channels));
  bool ok = true;
  for (int copy = 0; ok && decoded && copy < options.copies; ++copy) {
    if (copy > 0 && !(decoded = Reopen(format, papplJobGetFilename(job), channels, reader))) break;
    ok = StartKavPage(job, header, options.print_color_mode);
    int rowsRead = 0;
    for (unsigned y = 0; ok && y < header.cupsHeight; ++y) {
      const int shown = PictureRowOn(position, y, int(info.height));
      for (; decoded && shown >= rowsRead; ++rowsRead) decoded = reader->ReadRow(row.data());
      SheetLine({shown >= 0 && decoded ? row.data() : nullptr, int(info.width), channels}, position, header.cupsWidth,
                line.data());
      ok = !papplJobIsCanceled(job) && WriteKavLine(job, y, line.data());
    }
    ok = ok && EndKavPage(job);
    if (ok && decoded) papplJobSetImpressionsCompleted(job, 1);
    if (decoded) LogDamage(job, format, *reader);
  }
  ok = EndKavJob(job) && ok;
  if (!decoded) return FailUnreadable(job, format, decoded.error());
  return ok;
}

// The whole picture for PAPPL's placement, which scales or turns it.
bool PrintScaled(pappl_job_t* job, pappl_device_t* device, pappl_pr_options_t& options, const PictureFormat& format,
                 Reader reader, int channels) {
  const PictureInfo info = reader->info();
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[size_t{info.width} * info.height * size_t(channels)]);
  if (!pixels) return FailUnprintable(job, std::string("Not enough memory for the ") + format.name + " picture.");
  Status decoded = StartDecoding(*reader, channels);
  if (decoded) decoded = pictures::ReadEveryRow(*reader, pixels.get());
  if (!decoded) return FailUnreadable(job, format, decoded.error());
  LogDamage(job, format, *reader);
  reader.reset();  // what the decoder held goes before PAPPL places the picture
  return papplJobFilterImage(job, device, &options, pixels.get(), int(info.width), int(info.height), channels,
                             info.density.across, format.smoothing);
}

bool FilterPicture(pappl_job_t* job, pappl_device_t* device, const PictureFormat& format) {
  const char* path = papplJobGetFilename(job);
  if (path == nullptr) return Fail(job, "The job has no document file.");
  if (!WithinFileLimit(job, format, path)) return false;
  Result<Reader> opened = format.open(path);
  if (!opened) return FailUnreadable(job, format, opened.error());
  const PictureInfo info = (*opened)->info();
  const PrintOptions options(papplJobCreatePrintOptions(job, 1, info.channels > 1));
  if (!options) return Fail(job, "Unable to read the job's options.");
  const int channels = SheetChannels(*options);
  if (!Printable(job, format, info, channels)) return false;
  if (const auto position = PlaceUnscaled(*options, int(info.width), int(info.height), info.density.across)) {
    return WithinMemoryBound(job, format, info, info.heldBytes, "to decode") &&
           PrintUnscaled(job, device, *options, format, std::move(*opened), *position, channels);
  }
  const uint64_t pictureBytes = uint64_t{info.width} * info.height * uint64_t(channels);
  return WithinMemoryBound(job, format, info, info.heldBytes + pictureBytes, "to be scaled") &&
         PrintScaled(job, device, *options, format, std::move(*opened), channels);
}

bool FilterJpeg(pappl_job_t* job, pappl_device_t* device) { return FilterPicture(job, device, kJpeg); }

bool FilterPng(pappl_job_t* job, pappl_device_t* device) { return FilterPicture(job, device, kPng); }

}  // namespace

void AddPictureFilters(pappl_system_t* system) {
  AddDriverFilter(system, "image/jpeg", kDriverFormat, FilterJpeg);
  AddDriverFilter(system, "image/png", kDriverFormat, FilterPng);
}

}  // namespace kav::app
