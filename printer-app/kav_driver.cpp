#include "kav_driver.h"

#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "band_assembly.h"
#include "device_turns.h"
#include "driver_data.h"
#include "host/job_walk.h"
#include "host/plugin_library.h"
#include "host/printer_description.h"
#include "host/render_session.h"

namespace kav::app {
namespace {

// Rows of each band handed to the plug-in, as `kavhost print` sends them.
constexpr uint32_t kBandHeight = 128;

// Every byte the plug-in spools goes to the printer's device; the first
// failed write is remembered and ends the page. The plug-in spools from
// inside its calls, so the time the device takes is counted apart.
struct DeviceSink final : host::SpoolSink {
  void Write(const uint8_t* bytes, size_t size) override {
    if (writeFailed) return;
    const auto start = std::chrono::steady_clock::now();
    if (papplDeviceWrite(device, bytes, size) < 0) writeFailed = true;
    writing += std::chrono::steady_clock::now() - start;
  }

  pappl_device_t* device = nullptr;
  bool writeFailed = false;
  std::chrono::steady_clock::duration writing{};
};

struct DeviceCloser {
  void operator()(pappl_device_t* device) const { papplDeviceClose(device); }
};
using OwnDevice = std::unique_ptr<pappl_device_t, DeviceCloser>;

// PAPPL closes a file:// device at the end of every job, also when another
// job of the printer that PAPPL started in the meantime was handed the same
// device and still writes to it. A job of such a printer writes through a
// device of its own (the same file: PAPPL's device names it after the job as
// this one does). Other devices stay open while any job of the printer is
// active, and are shared.
OwnDevice OpenOwnFileDevice(pappl_job_t* job) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  const std::string uri = papplPrinterGetDeviceURI(printer);
  if (uri.rfind("file:", 0) != 0) return nullptr;
  return OwnDevice(papplDeviceOpen(uri.c_str(), papplJobGetName(job), papplLogDevice, papplPrinterGetSystem(printer)));
}

// One thread's pass of a job: its turn on the device, and from StartKavJob
// on, the plug-in's session.
struct JobState {
  pappl_job_t* job;
  DeviceTurn turn;
  bool ownsTurn = false;  // begun by StartKavJob (a streamed raster job), so EndKavJob ends it
  bool started = false;   // between StartKavJob and EndKavJob
  bool failed = false;    // the job's message is set; later steps fail quietly
  host::RenderSession session;
  std::optional<host::JobWalk> walk;  // the job in Unidrv's order, from StartKavJob on
  OwnDevice ownDevice;                // a file:// printer's device for this job only
  DeviceSink output;
  std::unique_ptr<BandAssembler> page;
  unsigned pages = 0;      // pages started
  unsigned pageLines = 0;  // lines the page's header promises
  unsigned linesSeen = 0;
  std::chrono::steady_clock::duration inPlugin{};  // time spent in the plug-in's calls, device writes included
};

// The job this thread prints. PAPPL may run one job in two threads at once
// (see device_turns.h), so a job's state belongs to the thread, not the job.
thread_local JobState* running = nullptr;

JobState* StateOf(pappl_job_t* job) { return running != nullptr && running->job == job ? running : nullptr; }

// A second run of a job already printing passes every step without output.
bool Duplicate(const JobState* state) { return state != nullptr && state->turn.start == TurnStart::kDuplicate; }

// Takes the job's turn on the device for this thread.
JobState* BeginRun(pappl_job_t* job) {
  auto state = std::make_unique<JobState>();
  state->job = job;
  state->turn = TakeDeviceTurn(job);
  if (state->turn.start == TurnStart::kDuplicate) {
    papplLogJob(job, PAPPL_LOGLEVEL_WARN, "PAPPL started this job a second time; the second run prints nothing.");
  }
  running = state.release();
  return running;
}

// Ends the turn, once no other job of the printer needs the device.
void EndRun(JobState* state) {
  running = nullptr;
  EndDeviceTurn(state->job, state->turn.run);
  delete state;
}

// The filters registered with AddDriverFilter; PAPPL hands back the address
// of one, which stays where it is as more are added.
std::deque<DocumentFilter> filters;

// Every document filter runs inside the job's turn, so that a job whose
// filter fails before it reaches the driver, or is cancelled, or is the
// second run of a job, still does not end (and PAPPL does not close the
// device) while another job of the printer writes.
bool FilterInTurn(pappl_job_t* job, pappl_device_t* device, void* data) {
  JobState* state = BeginRun(job);
  const bool ok = state->turn.start == TurnStart::kDuplicate ||
                  (state->turn.start == TurnStart::kWrite && (*static_cast<DocumentFilter*>(data))(job, device));
  EndKavJob(job);
  EndRun(state);
  return ok;
}

host::ColorMode ModeOf(pappl_color_mode_t mode) {
  switch (mode) {
    case PAPPL_COLOR_MODE_BI_LEVEL:
      return host::ColorMode::kMono;
    case PAPPL_COLOR_MODE_MONOCHROME:
    case PAPPL_COLOR_MODE_AUTO_MONOCHROME:
    case PAPPL_COLOR_MODE_PROCESS_MONOCHROME:
      return host::ColorMode::kGray;
    default:
      return host::ColorMode::kColor;
  }
}

// The pixel layout of the page's lines. Raster documents keep the client's
// own header, so every layout a client may send with 8-bit samples is taken.
std::optional<LineFormat> LineFormatOf(const cups_page_header2_t& header) {
  switch (header.cupsColorSpace) {
    case CUPS_CSPACE_K:
      if (header.cupsBitsPerPixel == 1) return LineFormat::kBlack1;
      if (header.cupsBitsPerPixel == 8) return LineFormat::kBlack8;
      return {};
    case CUPS_CSPACE_W:
    case CUPS_CSPACE_SW:
      if (header.cupsBitsPerPixel == 8) return LineFormat::kGray8;
      return {};
    case CUPS_CSPACE_RGB:
    case CUPS_CSPACE_SRGB:
    case CUPS_CSPACE_ADOBERGB:
      if (header.cupsBitsPerPixel == 24) return LineFormat::kRgb24;
      return {};
    default:
      return {};
  }
}

// Hundredths of a millimetre as tenths, rounded.
int TenthsOfHundredths(int hundredths) { return (hundredths + 5) / 10; }

// The sheet of a page: the nominal size of the media its header names or,
// for a header that names none, of the media its size in points is; else
// the size its pixels make. A4 at 300 dpi is 3507 lines, which alone would
// make it 296.9 mm long.
std::optional<host::Paper> SheetOf(const cups_page_header2_t& header, unsigned dpi, std::string& error) {
  pwg_media_t* media = header.cupsPageSizeName[0] != '\0' ? pwgMediaForPWG(header.cupsPageSizeName) : nullptr;
  if (media == nullptr && header.PageSize[0] > 0 && header.PageSize[1] > 0) {
    media = pwgMediaForSize(PWG_FROM_POINTS(header.PageSize[0]), PWG_FROM_POINTS(header.PageSize[1]));
  }
  const int width = media != nullptr ? TenthsOfHundredths(media->width)
                                     : static_cast<int>((uint64_t{header.cupsWidth} * 254 + dpi / 2) / dpi);
  const int length = media != nullptr ? TenthsOfHundredths(media->length)
                                      : static_cast<int>((uint64_t{header.cupsHeight} * 254 + dpi / 2) / dpi);
  if (width < host::kMinPaperTenths || length < host::kMinPaperTenths || width > host::kMaxPaperTenths ||
      length > host::kMaxPaperTenths) {
    error = "The page's sheet of " + std::to_string(width / 10) + " x " + std::to_string(length / 10) +
            " mm is outside 10 to 3276.7 mm.";
    return {};
  }
  return host::Paper{media != nullptr ? media->pwg : "custom", width, length};
}

// The device settings of a page: its resolution and sheet come from the
// page's own header (a raster document may differ from what the job asked),
// the colour mode from the job. PAPPL has already turned the page for the
// orientation asked, so the device is always portrait.
std::optional<host::DeviceSettings> SettingsOf(const cups_page_header2_t& header, pappl_color_mode_t colorMode,
                                               std::string& error) {
  const unsigned dpi = header.HWResolution[0];
  if (dpi != header.HWResolution[1]) {
    error = "Pages of unequal resolutions across and down (" + std::to_string(header.HWResolution[0]) + "x" +
            std::to_string(header.HWResolution[1]) + " dpi) are not supported.";
    return {};
  }
  // A resolution the device mode can carry and the sheet is counted at (the
  // job's walk refuses one the description does not offer).
  if (dpi < host::kMinDpi || dpi > host::kMaxDpi) {
    error = "The page's resolution of " + std::to_string(dpi) + " dpi is outside " + std::to_string(host::kMinDpi) +
            " to " + std::to_string(host::kMaxDpi) + " dpi.";
    return {};
  }
  const auto paper = SheetOf(header, dpi, error);
  if (!paper) return {};
  return host::DeviceSettings{ModeOf(colorMode), *paper, dpi, false, false};
}

// A step of the job's walk (the plug-in's calls and what it spools), its
// time counted as the plug-in's.
template <class Step>
auto Timed(JobState& state, Step step) {
  const auto start = std::chrono::steady_clock::now();
  auto result = step();
  state.inPlugin += std::chrono::steady_clock::now() - start;
  return result;
}

// The step succeeded and every byte it spooled reached the device.
bool Sent(pappl_job_t* job, const JobState& state, const Status& step) {
  if (!step) return Fail(job, "The printer description's commands could not be sent: " + step.error() + ".");
  if (state.output.writeFailed) return Fail(job, "Unable to send the page to the printer.");
  return true;
}

bool SendBand(pappl_job_t* job, JobState& state, host::HostBand& band, uint32_t top) {
  if (papplJobIsCanceled(job)) return false;
  const host::BandResult result = Timed(state, [&] { return state.walk->Band(band, top); });
  if (FAILED(result.hr))
    return Fail(job, "The render plug-in could not process the band at row " + std::to_string(top) + ".");
  if (state.output.writeFailed) return Fail(job, "Unable to send the page to the printer.");
  return true;
}

bool RStartJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) { return StartKavJob(job, device); }

bool RStartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned) {
  return StartKavPage(job, options->header, options->print_color_mode);
}

bool RWriteLine(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned y, const unsigned char* line) {
  return WriteKavLine(job, y, line);
}

bool REndPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned) { return EndKavPage(job); }

bool REndJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) { return EndKavJob(job); }

// The printers have no panel, light or speaker the driver can reach:
// Identify-Printer "displays" its message in the server's log, where the
// web interface shows it.
void Identify(pappl_printer_t* printer, pappl_identify_actions_t, const char* message) {
  papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "Identify-Printer: %s", message != nullptr ? message : "");
}

void ForgetDeletedPrinter(pappl_printer_t* printer, pappl_pr_driver_data_t*) { ForgetPrinter(printer); }

// Printer attributes IPP Everywhere asks for that PAPPL 1.3.1 does not make.
// The device is written to, never read, so the supply level is unknown.
ipp_t* ExtraAttributes() {
  ipp_t* attributes = ippNew();
  ippAddBoolean(attributes, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
  ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-default", nullptr, "auto");
  ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-supported", nullptr, "auto");
  ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "pwg-raster-document-sheet-back", nullptr, "normal");
  static const char kSupply[] =
      "index=1;class=supplyThatIsConsumed;type=other;unit=percent;maxcapacity=100;level=-2;colorantname=unknown;";
  ippAddOctetString(attributes, IPP_TAG_PRINTER, "printer-supply", kSupply, sizeof kSupply - 1);
  ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-supply-description", nullptr,
               "Marking supplies (level not reported)");
  return attributes;
}

}  // namespace

bool Fail(pappl_job_t* job, const std::string& message) {
  if (JobState* state = StateOf(job)) {
    if (state->failed) return false;
    state->failed = true;
  }
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message.c_str());
  papplJobSetMessage(job, "%s", message.c_str());
  return false;
}

namespace {

bool AwaitStream(pappl_job_t* job, pappl_device_t*, void*) {
  AwaitStreamedRun(job, std::chrono::seconds(5));
  return true;
}

}  // namespace

void AddStreamedRasterFilters(pappl_system_t* system) {
  for (const char* format : {"image/pwg-raster", "image/urf"}) {
    papplSystemAddMIMEFilter(system, format, kDriverFormat, AwaitStream, nullptr);
  }
}

void AddDriverFilter(pappl_system_t* system, const char* format, const char* to, DocumentFilter filter) {
  filters.push_back(filter);
  papplSystemAddMIMEFilter(system, format, to, FilterInTurn, &filters.back());
}

bool StartKavJob(pappl_job_t* job, pappl_device_t* device) {
  JobState* state = StateOf(job);
  const bool ownsTurn = state == nullptr;
  if (ownsTurn) {
    state = BeginRun(job);
    state->ownsTurn = true;
  }
  if (state->started || state->failed) return !state->failed;
  const auto refuse = [&](bool result) {
    if (ownsTurn) EndRun(state);
    return result;
  };
  if (state->turn.start == TurnStart::kCanceled) return refuse(false);
  if (!Duplicate(state)) {
    std::string error;
    if (!state->session.Open(host::ProgramPlugin("kavrender"), error)) {
      Fail(job, "Unable to load the render plug-in: " + error);
      return refuse(false);
    }
    state->ownDevice = OpenOwnFileDevice(job);
    state->output.device = state->ownDevice ? state->ownDevice.get() : device;
    state->session.helper().SetSink(&state->output);
    state->walk.emplace(host::ActivePrinterDescription(), state->session);
  }
  state->started = true;
  return true;
}

bool StartKavPage(pappl_job_t* job, const cups_page_header2_t& header, pappl_color_mode_t colorMode) {
  JobState* state = StateOf(job);
  if (state == nullptr || !state->started) return Fail(job, "The job was not started.");
  if (state->failed) return false;
  if (Duplicate(state)) return true;
  std::string error;
  const auto format = LineFormatOf(header);
  if (!format) {
    return Fail(job, "Unsupported raster: color space " + std::to_string(header.cupsColorSpace) + " at " +
                         std::to_string(header.cupsBitsPerPixel) + " bits per pixel.");
  }
  // Automatic colour prints a page without colour samples in gray.
  const bool grayPage = *format != LineFormat::kRgb24;
  const auto settings = SettingsOf(header,
                                   colorMode == PAPPL_COLOR_MODE_AUTO && grayPage
                                       ? static_cast<pappl_color_mode_t>(PAPPL_COLOR_MODE_MONOCHROME)
                                       : colorMode,
                                   error);
  if (!settings) return Fail(job, error);
  if (header.cupsBytesPerLine < LineBytes(*format, header.cupsWidth)) {
    return Fail(job, "The raster header's line length is too short for its width.");
  }
  const Result<host::PageFormat> page = Timed(*state, [&] { return state->walk->StartPage(*settings); });
  if (!page) return Fail(job, "The page cannot be printed: " + page.error() + ".");
  if (state->output.writeFailed) return Fail(job, "Unable to send the page to the printer.");
  ++state->pages;
  state->pageLines = header.cupsHeight;
  state->linesSeen = 0;
  state->page =
      std::make_unique<BandAssembler>(page->layout, page->mode, settings->dpi, *format, header.cupsWidth, kBandHeight);
  return true;
}

bool WriteKavLine(pappl_job_t* job, unsigned y, const unsigned char* line) {
  JobState* state = StateOf(job);
  if (state != nullptr && state->failed) return false;
  if (Duplicate(state)) return true;
  if (state == nullptr || !state->page) return Fail(job, "The page was not started.");
  ++state->linesSeen;
  return state->page->AddLine(
      y, line, [job, state](host::HostBand& band, uint32_t top) { return SendBand(job, *state, band, top); });
}

bool EndKavPage(pappl_job_t* job) {
  JobState* state = StateOf(job);
  if (state != nullptr && state->failed) return false;
  if (Duplicate(state)) return true;
  if (state == nullptr || !state->page) return Fail(job, "The page was not started.");
  const bool done = state->page->Finish(
      [job, state](host::HostBand& band, uint32_t top) { return SendBand(job, *state, band, top); });
  state->page.reset();
  const bool ended = done && Sent(job, *state, Timed(*state, [&] { return state->walk->EndPage(); }));
  // PAPPL ends the page of a raster document cut short as if it were whole.
  // The printer has been sent its start: it gets its end too, paper white
  // below the last line, rather than a page that never ends.
  if (state->linesSeen < state->pageLines) {
    return Fail(job, "The document ends inside page " + std::to_string(state->pages) + " (after " +
                         std::to_string(state->linesSeen) + " of " + std::to_string(state->pageLines) + " lines).");
  }
  return ended;
}

bool EndKavJob(pappl_job_t* job) {
  JobState* state = StateOf(job);
  if (state == nullptr || !state->started) return true;
  state->started = false;
  bool ok = true;
  if (!Duplicate(state)) {
    // A job that failed ends where it failed; one that did not ends as its
    // description says.
    if (state->failed) {
      state->session.DisableDevice();
    } else {
      ok = Sent(job, *state, Timed(*state, [&] { return state->walk->EndJob(); }));
    }
    using Seconds = std::chrono::duration<double>;
    papplLogJob(job, PAPPL_LOGLEVEL_INFO,
                "%u pages, %.3f seconds inside the render plug-in, %.3f seconds writing to the device.", state->pages,
                Seconds(state->inPlugin - state->output.writing).count(), Seconds(state->output.writing).count());
    if (state->output.writeFailed) ok = Fail(job, "Unable to send the job to the printer.");
    state->ownDevice.reset();
  }
  if (state->ownsTurn) EndRun(state);
  return ok;
}

bool KavDriverInit(pappl_system_t*, const char* driverName, const char*, const char*, pappl_pr_driver_data_t* data,
                   ipp_t** attributes, void*) {
  if (driverName == nullptr || std::strcmp(driverName, kDriverName) != 0) return false;
  if (attributes != nullptr) *attributes = ExtraAttributes();
  data->rstartjob_cb = RStartJob;
  data->rstartpage_cb = RStartPage;
  data->rwriteline_cb = RWriteLine;
  data->rendpage_cb = REndPage;
  data->rendjob_cb = REndJob;
  data->format = kDriverFormat;
  std::strncpy(data->make_and_model, kDriverDescription, sizeof data->make_and_model - 1);
  data->ppm = 20;
  data->ppm_color = 20;
  data->kind = PAPPL_KIND_DOCUMENT;
  data->identify_cb = Identify;
  data->delete_cb = ForgetDeletedPrinter;
  data->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
  data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
  data->orient_default = IPP_ORIENT_PORTRAIT;
  data->quality_default = IPP_QUALITY_NORMAL;
  data->sides_supported = PAPPL_SIDES_ONE_SIDED;
  data->sides_default = PAPPL_SIDES_ONE_SIDED;
  data->num_source = 1;
  data->source[0] = "main";
  data->num_type = 1;
  data->type[0] = "stationery";
  FillDriverData(data);
  return true;
}

}  // namespace kav::app
