#include "kavhost/print_command.h"

#include <algorithm>
#include <memory>

#include "host/band_builder.h"
#include "host/job_walk.h"
#include "host/render_session.h"
#include "job/job_inspect.h"
#include "kavhost/job_sink.h"
#include "kavhost/pages.h"
#include "kavhost/render_start.h"
#include "support/files.h"
#include "support/output_file.h"

namespace kav::tools {
namespace {

// Pages of at least this many bands show their progress on a terminal.
constexpr uint32_t kProgressBands = 16;

// Refuses bands larger than a band may be, before anything is printed: the
// size is counted in 64 bits, where the header's 32-bit biSizeImage would
// wrap and the plug-in would refuse the band. (The page width is already
// checked against what an image record holds.)
Status CheckBandShape(const PrintOptions& options, const host::PageLayout& layout, uint16_t bitCount) {
  const uint32_t rows = std::min(options.bandHeight, layout.surfaceHeight);
  const uint64_t bytes = uint64_t{host::BandStride(layout.surfaceWidth, bitCount)} * rows;
  if (bytes > kMaxImageBytes) {
    return Error{"bands of " + std::to_string(layout.surfaceWidth) + " x " + std::to_string(rows) + " pixels take " +
                 std::to_string(bytes) + " bytes, more than the " + std::to_string(kMaxImageBytes >> 20) +
                 " MiB a band may have (lower --band-height)"};
  }
  return {};
}

struct BandCounts {
  uint32_t bands = 0;
  uint32_t blank = 0;
};

void ClearProgress(std::ostream& err) { err << "\r" << std::string(40, ' ') << "\r" << std::flush; }

void ShowProgress(std::ostream& err, uint32_t done, uint32_t total) {
  err << "\rkavhost: band " << done << " of " << total << std::flush;
  if (done == total) ClearProgress(err);
}

// Fails when the plug-in refused a band: it answers S_OK whatever happens,
// so a band with ink that added nothing to the job is how a refusal shows.
Status PrintBands(host::JobWalk& walk, const host::PageSource& page, const host::PageFormat& format,
                  const host::DeviceSettings& settings, const PrintOptions& options, const JobSink& job,
                  BandCounts& counts, std::ostream& err) {
  const uint32_t total = (page.height() + options.bandHeight - 1) / options.bandHeight;
  const bool progress = options.progress && total >= kProgressBands;
  host::HostBand band;
  for (uint32_t top = 0; top < page.height(); top += options.bandHeight) {
    const uint32_t rows = std::min(options.bandHeight, page.height() - top);
    host::BuildBand(page, format.mode, top, rows, settings.dpi, band);
    const uint64_t before = job.bytes;
    walk.Band(band, top);
    if (!band.blank && job.bytes == before) {
      if (progress) ClearProgress(err);  // the failure gets a line of its own
      return Error{"the plug-in refused the band of rows " + std::to_string(top) + " to " +
                   std::to_string(top + rows - 1) + " (it wrote nothing for it); the job would miss it"};
    }
    ++counts.bands;
    if (band.blank) ++counts.blank;
    if (progress) ShowProgress(err, counts.bands, total);
  }
  return {};
}

// The last check of the job read as it was spooled.
Status CheckJobReads(JobStreamReader& reading) {
  const Status read = reading.Finish();
  if (read) return {};
  return Error{"the plug-in wrote a job that does not read back: " + read.error()};
}

// The description the options print by: the one --gpd named, else the
// packaged one, read now.
Result<const host::PrinterDescription*> DescriptionOf(PrintOptions& options) {
  if (!options.description) {
    Result<std::shared_ptr<const host::PrinterDescription>> packaged = ReadDescription(host::ProgramDescription());
    if (!packaged) return packaged.failure();
    options.description = std::move(*packaged);
  }
  return options.description.get();
}

// Reads an option's text as an option of the description the options print
// by, which --gpd (read before the others) names.
template <class T>
auto ByDescription(PrintOptions& options, Result<T> (*read)(const host::PrinterDescription&, const std::string&)) {
  return [&options, read](const std::string& text) -> Result<std::optional<T>> {
    const Result<const host::PrinterDescription*> description = DescriptionOf(options);
    if (!description) return description.failure();
    Result<T> value = read(**description, text);
    if (!value) return value.failure();
    return std::optional<T>(std::move(*value));
  };
}

}  // namespace

std::optional<std::pair<uint32_t, uint32_t>> ParseOsVersion(const std::string& text) {
  const size_t dot = text.find('.');
  if (dot == std::string::npos) return {};
  const auto major = ParseWholeNumber(text.substr(0, dot), 0, 1000);
  const auto minor = ParseWholeNumber(text.substr(dot + 1), 0, 1000);
  if (!major || !minor) return {};
  return std::make_pair(static_cast<uint32_t>(*major), static_cast<uint32_t>(*minor));
}

host::DeviceSettings SettingsOf(const PrintOptions& options, const host::PrinterDescription& description) {
  host::DeviceSettings settings = description.defaults();
  if (options.mode) settings.mode = *options.mode;
  if (options.dpi) settings.dpi = *options.dpi;
  if (options.paper) settings.paper = *options.paper;
  if (options.landscape) settings.landscape = *options.landscape;
  if (options.rotate180) settings.rotate180 = true;
  return settings;
}

void DescribePrintOptions(CLI::App& command, PrintOptions& options) {
  AddOption(command, "PICTURE", "PICTURE", "PNM or PNG picture to print; without one, the built-in sample page",
            options.picture);
  AddOption(command, "-o,--output", "JOB", "the job file to write", options.output)->required();
  // Before the options whose values are the description's: options are
  // read in the order they are described here.
  AddOption(command, "--gpd", "FILE", "printer description to print by (default: the one beside the program)",
            options.description, [&options](const std::string& path) {
              options.gpd = path;
              return ReadDescription(path);
            });
  AddOption(command, "--mode", "MODE", "colour mode option the description names (default: its own)", options.mode,
            ByDescription(options, ModeOf));
  AddOption(command, "--dpi", "N", "resolution option of the description, in dots per inch (default: its own)",
            options.dpi, ByDescription(options, DpiOf));
  AddOption(command, "--paper", "NAME|WxH",
            "sheet the description names (A4, LETTER, ...), or width x length in millimetres within its custom "
            "size (default: its own)",
            options.paper, ByDescription(options, PaperOf));
  AddOption(command, "--orientation", "portrait|landscape", "orientation setting (default: the description's)",
            options.landscape, [](const std::string& text) -> Result<std::optional<bool>> {
              if (text != "portrait" && text != "landscape") {
                return Error{"--orientation must be portrait or landscape"};
              }
              return std::optional<bool>(text == "landscape");
            });
  command.add_flag("--rotate180", options.rotate180, "sets the rotation setting TRUE");
  AddOption(command, "--band-height", "ROWS", "rows per band, 1 to 65535 (default 128)", options.bandHeight,
            [](const std::string& text) -> Result<uint32_t> {
              if (const auto rows = ParseWholeNumber(text, 1, 65535)) return static_cast<uint32_t>(*rows);
              return Error{"--band-height must be a whole number of rows from 1 to 65535"};
            });
  AddOption(command, "--os-version", "MAJOR.MINOR",
            "system version the Linux stand-ins report, which decides JPEG bands (5.0: none)", options.osVersion,
            [](const std::string& text) -> Result<std::optional<std::pair<uint32_t, uint32_t>>> {
              if (const auto version = ParseOsVersion(text)) return version;
              return Error{"--os-version must be MAJOR.MINOR, as 5.0 or 6.1"};
            });
  AddOption(command, "--plugin", "PATH", "render library to load (default: the one beside the program)",
            options.plugin);
}

Status RunPrint(const PrintOptions& options, std::ostream& out, std::ostream& err) {
  PrintOptions chosen = options;
  const Result<const host::PrinterDescription*> read = DescriptionOf(chosen);
  if (!read) return read.failure();
  const host::PrinterDescription& description = **read;
  // The host's page functions answer from it from now on.
  host::UsePrinterDescription(chosen.description);
  const host::DeviceSettings settings = SettingsOf(options, description);
  // Settings the description has no options for are refused before the job is begun.
  if (const auto selected = description.Settings(settings); !selected) return selected.failure();
  const Result<host::PageLayout> layout = description.Layout(settings.paper, settings.dpi, settings.landscape);
  if (!layout) return layout.failure();
  const uint16_t bitCount = description.ColorModeOf(settings.mode)->bitCount;
  if (const Status fits = CheckBandShape(options, *layout, bitCount); !fits) return fits;
  const std::string plugin = RenderPluginPath(options.plugin);
  const std::string gpd = options.gpd.empty() ? host::ProgramDescription() : options.gpd;
  if (const Status distinct = CheckOutputIsNoInput(options.output, {options.picture, plugin, gpd}); !distinct) {
    return distinct;
  }
  Image picture;
  if (!options.picture.empty()) {
    Result<Image> image = ReadImageFile(options.picture);
    if (!image) return image.failure();
    picture = std::move(image).value();
  }
  ApplyOsVersion(options.osVersion, "--os-version", err);
  // The job's records are counted as the plug-in spools them, so what is
  // reported is what reached the output, whatever the output is.
  JobSummary summary;
  JobStreamReader reading([&summary](const JobItem& item) { summary.Add(item); });
  host::RenderSession session;
  std::string error;
  if (!session.Open(plugin, error)) return Error{error};
  JobSink job;
  if (const Status opened = job.file.Open(options.output); !opened) return opened;
  session.helper().SetSink(&job);
  session.helper().SetWriteObserver([&reading](const uint8_t* bytes, DWORD size, bool accepted) {
    if (accepted) reading.Feed(bytes, size);
  });
  host::JobWalk walk(description, session);
  const Result<host::PageFormat> format = walk.StartPage(settings);
  if (!format) return format.failure();
  const std::unique_ptr<host::PageSource> page =
      options.picture.empty()
          ? std::unique_ptr<host::PageSource>(new SamplePage(layout->surfaceWidth, layout->surfaceHeight, settings.dpi))
          : std::unique_ptr<host::PageSource>(new PicturePage(picture, layout->surfaceWidth, layout->surfaceHeight));
  BandCounts counts;
  const Status printed = PrintBands(walk, *page, *format, settings, options, job, counts, err);
  if (!printed) return printed;
  if (const Status ended = walk.EndPage(); !ended) return ended;
  if (const Status ended = walk.EndJob(); !ended) return ended;
  if (const Status checked = CheckJobReads(reading); !checked) return checked;
  if (const Status committed = job.file.Commit(); !committed) return committed;
  out << "page 1: " << counts.bands << " bands (" << counts.blank << " blank), image records: " << summary.RecordsText()
      << "; " << job.bytes << " bytes -> " << options.output << "\n";
  return {};
}

}  // namespace kav::tools
