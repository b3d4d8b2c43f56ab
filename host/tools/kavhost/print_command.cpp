#include "kavhost/print_command.h"

#include <algorithm>
#include <memory>

#include "host/render_session.h"
#include "job/job_inspect.h"
#include "job/kavjob_command.h"
#include "kavhost/band_builder.h"
#include "kavhost/device_setup.h"
#include "kavhost/job_sink.h"
#include "kavhost/page_source.h"
#include "kavhost/render_start.h"
#include "support/arguments.h"
#include "support/output_file.h"

namespace kav::tools {
namespace {

// Pages of at least this many bands show their progress on a terminal.
constexpr uint32_t kProgressBands = 16;

bool Refuse(std::string& error, const char* message) {
  error = message;
  return false;
}

// Refuses bands larger than a band may be, before anything is printed: the
// size is counted in 64 bits, where the header's 32-bit biSizeImage would
// wrap and the plug-in would refuse the band. (The page width is already
// checked against what an image record holds.)
bool CheckBandShape(const PrintOptions& options, const PageLayout& layout, std::string& error) {
  const uint32_t rows = std::min(options.bandHeight, layout.surfaceHeight);
  const uint64_t bytes = uint64_t{BandStride(layout.surfaceWidth, FormatOf(options.mode).bitCount)} * rows;
  if (bytes > kMaxImageBytes) {
    error = "bands of " + std::to_string(layout.surfaceWidth) + " x " + std::to_string(rows) + " pixels take " +
            std::to_string(bytes) + " bytes, more than the " + std::to_string(kMaxImageBytes >> 20) +
            " MiB a band may have (lower --band-height)";
    return false;
  }
  return true;
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

// False with `error` when the plug-in refused a band: it answers S_OK
// whatever happens, so a band with ink that added nothing to the job is how
// a refusal shows.
bool PrintBands(host::RenderSession& session, const PageSource& page, const PrintOptions& options, const JobSink& job,
                BandCounts& counts, std::ostream& err, std::string& error) {
  const uint32_t total = (page.height() + options.bandHeight - 1) / options.bandHeight;
  const bool progress = options.progress && total >= kProgressBands;
  HostBand band;
  for (uint32_t top = 0; top < page.height(); top += options.bandHeight) {
    const uint32_t rows = std::min(options.bandHeight, page.height() - top);
    BuildBand(page, options.mode, top, rows, options.dpi, band);
    IPPARAMS params{};
    params.dwSize = sizeof(IPPARAMS);
    params.ptOffset = {0, static_cast<LONG>(top)};
    params.bBanding = TRUE;
    params.bBlankBand = band.blank ? TRUE : FALSE;
    const uint64_t before = job.bytes;
    session.Band(FormatOf(options.mode).callbackId, band.header, band.bits.data(), params);
    if (!band.blank && job.bytes == before) {
      if (progress) ClearProgress(err);  // the failure gets a line of its own
      error = "the plug-in refused the band of rows " + std::to_string(top) + " to " + std::to_string(top + rows - 1) +
              " (it wrote nothing for it); the job would miss it";
      return false;
    }
    ++counts.bands;
    if (band.blank) ++counts.blank;
    if (progress) ShowProgress(err, counts.bands, total);
  }
  return true;
}

// The last check of the job read as it was spooled.
bool CheckJobReads(JobStreamReader& reading, std::string& error) {
  if (reading.Finish()) return true;
  error = "the plug-in wrote a job that does not read back: " + reading.error();
  return false;
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

bool ParsePrintOptions(const std::vector<std::string>& args, PrintOptions& options, std::string& error) {
  const KnownOptions known{
      {"-o", "--mode", "--dpi", "--paper", "--orientation", "--band-height", "--os-version", "--plugin"},
      {"--rotate180"}};
  ParsedArguments parsed;
  if (!ParseArguments(args, known, parsed, error)) return false;
  if (parsed.positional.size() > 1) return Refuse(error, "print takes one picture at most");
  if (!parsed.positional.empty()) options.picture = parsed.positional[0];
  auto value = [&parsed](const char* name) -> const std::string* {
    const auto found = parsed.values.find(name);
    return found == parsed.values.end() ? nullptr : &found->second;
  };
  if (const std::string* output = value("-o")) {
    options.output = *output;
  } else {
    return Refuse(error, "print needs -o JOB");
  }
  if (const std::string* mode = value("--mode")) {
    const auto parsedMode = ParseMode(*mode);
    if (!parsedMode) return Refuse(error, "--mode must be mono, gray or color");
    options.mode = *parsedMode;
  }
  if (const std::string* dpi = value("--dpi")) {
    const auto number = ParseWholeNumber(*dpi, 50, 4800);
    if (!number) return Refuse(error, "--dpi must be a whole number from 50 to 4800");
    options.dpi = static_cast<uint32_t>(*number);
  }
  if (const std::string* paper = value("--paper")) {
    const auto parsedPaper = ParsePaper(*paper, error);
    if (!parsedPaper) return false;
    options.paper = *parsedPaper;
  }
  if (const std::string* orientation = value("--orientation")) {
    if (*orientation != "portrait" && *orientation != "landscape") {
      return Refuse(error, "--orientation must be portrait or landscape");
    }
    options.landscape = *orientation == "landscape";
  }
  options.rotate180 = parsed.flags.count("--rotate180") != 0;
  if (const std::string* rows = value("--band-height")) {
    const auto number = ParseWholeNumber(*rows, 1, 65535);
    if (!number) return Refuse(error, "--band-height must be a whole number of rows from 1 to 65535");
    options.bandHeight = static_cast<uint32_t>(*number);
  }
  if (const std::string* version = value("--os-version")) {
    options.osVersion = ParseOsVersion(*version);
    if (!options.osVersion) return Refuse(error, "--os-version must be MAJOR.MINOR, as 5.0 or 6.1");
  }
  if (const std::string* plugin = value("--plugin")) options.plugin = *plugin;
  return true;
}

int RunPrint(const PrintOptions& options, std::ostream& out, std::ostream& err) {
  std::string error;
  const auto layout = ComputeLayout(options.paper, options.dpi, options.landscape, error);
  if (!layout || !CheckBandShape(options, *layout, error)) return Failure(err, error);
  const std::string plugin = RenderPluginPath(options.plugin);
  if (!CheckOutputIsNoInput(options.output, {options.picture, plugin}, error)) return Failure(err, error);
  Image picture;
  if (!options.picture.empty() && !ReadImageFile(options.picture, picture, error)) return Failure(err, error);
  ApplyOsVersion(options.osVersion, "--os-version", err);
  // The job's records are counted as the plug-in spools them, so what is
  // reported is what reached the output, whatever the output is.
  JobSummary summary;
  JobStreamReader reading([&summary](const JobItem& item) { summary.Add(item); });
  host::RenderSession session;
  if (!session.Open(plugin, error)) return Failure(err, error);
  SetUpDevice(session, {options.mode, options.paper, options.dpi, options.landscape, options.rotate180}, *layout);
  JobSink job;
  if (!job.file.Open(options.output, error)) return Failure(err, error);
  session.helper().SetSink(&job);
  session.helper().SetWriteObserver([&reading](const uint8_t* bytes, DWORD size, bool accepted) {
    if (accepted) reading.Feed(bytes, size);
  });
  if (FAILED(session.EnableDevice())) {
    return Failure(err, "the plug-in could not enable the device (EnablePDEV failed)");
  }
  const std::unique_ptr<PageSource> page =
      options.picture.empty()
          ? std::unique_ptr<PageSource>(new SamplePage(layout->surfaceWidth, layout->surfaceHeight, options.dpi))
          : std::unique_ptr<PageSource>(new PicturePage(picture, layout->surfaceWidth, layout->surfaceHeight));
  BandCounts counts;
  for (uint32_t id : PageStartCommands(options.paper)) session.Command(id);
  const bool printed = PrintBands(session, *page, options, job, counts, err, error);
  for (uint32_t id : PageEndCommands()) session.Command(id);
  session.DisableDevice();
  if (!printed || !CheckJobReads(reading, error) || !job.file.Commit(error)) return Failure(err, error);
  out << "page 1: " << counts.bands << " bands (" << counts.blank << " blank), image records: " << summary.RecordsText()
      << "; " << job.bytes << " bytes -> " << options.output << "\n";
  return kExitOk;
}

}  // namespace kav::tools
