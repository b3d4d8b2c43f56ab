#include "pdf_filter.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document_sandbox.h"
#include "kav_driver.h"

namespace kav::app {
namespace {

// What every job's filter run shares, set once before the server runs.
struct FilterSettings {
  std::string spoolFolder;
  DocumentLimits limits;
  std::string ghostscript;  // absolute path, empty when not installed
};
FilterSettings settings;

bool IsGray(pappl_color_mode_t mode) {
  return mode == PAPPL_COLOR_MODE_BI_LEVEL || mode == PAPPL_COLOR_MODE_MONOCHROME ||
         mode == PAPPL_COLOR_MODE_AUTO_MONOCHROME || mode == PAPPL_COLOR_MODE_PROCESS_MONOCHROME;
}

// What Ghostscript is told: the job's sheet in pixels at its resolution,
// each page fitted to it, the job's page range, gray or sRGB samples, the
// raster on its standard output (and what a document prints there on its
// standard error, so it cannot mix into the raster). The raster is CUPS's
// uncompressed one: the same pixels as PWG raster, but Ghostscript spent
// three quarters of a text page's time compressing PWG raster's lines, and
// the server as long again expanding them, for a pipe that needs neither.
std::vector<std::string> GhostscriptArguments(const pappl_pr_options_t& options, bool pdf, const char* input) {
  const cups_page_header2_t& header = options.header;
  std::vector<std::string> args = {
      "gs",
      "-q",
      "-dSAFER",
      "-dBATCH",
      "-dNOPAUSE",
      "-dNOINTERPOLATE",
      "-sDEVICE=cups",
      "-dcupsBitsPerColor=8",
      IsGray(options.print_color_mode) ? "-dcupsColorSpace=18" : "-dcupsColorSpace=19",
      "-r" + std::to_string(header.HWResolution[0]) + "x" + std::to_string(header.HWResolution[1]),
      "-g" + std::to_string(header.cupsWidth) + "x" + std::to_string(header.cupsHeight),
      "-dFIXEDMEDIA",
      pdf ? "-dPDFFitPage" : "-dFitPage",
      "-sOutputFile=-",
      "-sstdout=%stderr"};
  if (options.first_page > 1) args.push_back("-dFirstPage=" + std::to_string(options.first_page));
  if (options.last_page < static_cast<unsigned>(INT_MAX)) {
    args.push_back("-dLastPage=" + std::to_string(options.last_page));
  }
  args.push_back("-f");
  args.push_back(input);
  return args;
}

// The first line of Ghostscript's errors that contains `word`, or empty.
std::string LineWith(const std::string& errors, const char* word) {
  const size_t at = errors.find(word);
  if (at == std::string::npos) return {};
  const size_t start = errors.rfind('\n', at);
  const size_t first = start == std::string::npos ? 0 : start + 1;
  const size_t end = errors.find('\n', at);
  std::string line = errors.substr(first, (end == std::string::npos ? errors.size() : end) - first);
  if (line.size() > 200) line.resize(200);
  return line;
}

std::string MiB(uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// Why a run of Ghostscript that did not succeed ends the job, in the job's
// words. Ghostscript says "invalidfileaccess" for a file SAFER refuses, and
// "Could not open the file" for an output file it may not write.
std::string GhostscriptFailure(SandboxEnd end, const std::string& errors) {
  const DocumentLimits& limits = settings.limits;
  switch (end) {
    case SandboxEnd::kTimedOut:
    case SandboxEnd::kOutOfCpu:
      return "Ghostscript took longer than " + std::to_string(limits.renderTime.count()) +
             " seconds over the document, the most this server allows.";
    case SandboxEnd::kNotStarted:
      return "Unable to run Ghostscript (" + settings.ghostscript + ").";
    default:
      break;
  }
  for (const char* word : {"invalidfileaccess", "Could not open the file"}) {
    const std::string line = LineWith(errors, word);
    if (!line.empty()) {
      return "The document tried to reach a file outside its job, which documents may not (Ghostscript: " + line + ").";
    }
  }
  const std::string memory = LineWith(errors, "VMerror");
  if (!memory.empty() || errors.find("out of memory") != std::string::npos) {
    return "Ghostscript needed more than the " + MiB(limits.renderMemoryBytes) +
           " of memory a document may take on this server.";
  }
  const std::string error = LineWith(errors, "Error");
  return "Ghostscript could not read the document (it is damaged or not PDF/PostScript)" +
         (error.empty() ? std::string(".") : ": " + error + ".");
}

uint64_t PageBytes(const cups_page_header2_t& header) { return uint64_t{header.cupsBytesPerLine} * header.cupsHeight; }

bool PrintRasterPage(pappl_job_t* job, cups_raster_t* raster, const cups_page_header2_t& header,
                     pappl_color_mode_t mode) {
  if (!StartKavPage(job, header, mode)) return false;
  std::vector<unsigned char> line(header.cupsBytesPerLine);
  for (unsigned y = 0; y < header.cupsHeight; ++y) {
    if (papplJobIsCanceled(job)) return false;
    if (cupsRasterReadPixels(raster, line.data(), header.cupsBytesPerLine) != header.cupsBytesPerLine) {
      return Fail(job, "Ghostscript's raster ends inside a page.");
    }
    if (!WriteKavLine(job, y, line.data())) return false;
  }
  if (!EndKavPage(job)) return false;
  papplJobSetImpressionsCompleted(job, 1);
  return true;
}

ssize_t ReadFromProcess(void* process, unsigned char* buffer, size_t size) {
  return static_cast<SandboxedProcess*>(process)->Read(buffer, size);
}

// The pages of one run of Ghostscript, each printed as it comes. A page
// larger than the job's sheet, or a page beyond the limit, stops the run.
bool PrintPagesAsMade(pappl_job_t* job, SandboxedProcess& process, const pappl_pr_options_t& options, unsigned& pages) {
  cups_raster_t* raster = cupsRasterOpenIO(ReadFromProcess, &process, CUPS_RASTER_READ);
  if (raster == nullptr) return true;  // no output at all: Ghostscript's end says why
  const uint64_t sheetBytes = PageBytes(options.header);
  bool ok = true;
  cups_page_header2_t header;
  while (ok && cupsRasterReadHeader2(raster, &header) != 0) {
    if (++pages > settings.limits.pages) {
      ok = Fail(job, "The document has more than " + std::to_string(settings.limits.pages) +
                         " pages, the most this server prints of one document.");
    } else if (header.cupsBytesPerLine == 0 || header.cupsBytesPerLine > options.header.cupsBytesPerLine ||
               PageBytes(header) > sheetBytes) {
      ok = Fail(job, "Ghostscript made a page of " + std::to_string(header.cupsWidth) + " x " +
                         std::to_string(header.cupsHeight) + " pixels, larger than the job's sheet of " +
                         std::to_string(options.header.cupsWidth) + " x " + std::to_string(options.header.cupsHeight) +
                         " pixels (" + std::to_string(sheetBytes) + " bytes).");
    } else {
      ok = PrintRasterPage(job, raster, header, options.print_color_mode);
    }
  }
  cupsRasterClose(raster);
  if (!ok) process.Stop();
  return ok;
}

// One copy: Ghostscript renders the document once more, in the job's folder.
// Copies are made by rendering again, so no page is kept for the next copy
// and the spool holds at most what Ghostscript holds for the page it makes.
bool PrintCopy(pappl_job_t* job, const pappl_pr_options_t& options, bool pdf, const char* input,
               const DocumentFolder& folder) {
  const SandboxLimits limits{settings.limits.renderTime, settings.limits.renderMemoryBytes,
                             settings.limits.renderMemoryBytes};
  auto process = SandboxedProcess::Start(settings.ghostscript, GhostscriptArguments(options, pdf, input), folder.path(),
                                         limits, [job] { return papplJobIsCanceled(job); });
  if (!process) return Fail(job, "Unable to run Ghostscript: " + process.error() + ".");
  unsigned pages = 0;
  const bool printed = PrintPagesAsMade(job, **process, options, pages);
  const SandboxEnd end = (*process)->Wait();
  if (!(*process)->errors().empty()) {
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Ghostscript said: %s", (*process)->errors().c_str());
  }
  if (!printed || end == SandboxEnd::kCanceled) return false;
  if (end != SandboxEnd::kSucceeded) {
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
    return Fail(job, GhostscriptFailure(end, (*process)->errors()));
  }
  // Ghostscript ends without error and without a page for some damaged documents.
  if (pages == 0) return Fail(job, "Ghostscript could not read the document: it made no page.");
  return true;
}

bool RenderAndPrint(pappl_job_t* job) {
  const char* input = papplJobGetFilename(job);
  const char* format = papplJobGetFormat(job);
  if (input == nullptr || format == nullptr) return Fail(job, "The job has no document file.");
  if (settings.ghostscript.empty())
    return Fail(job, "Ghostscript (gs) is not installed; it prints PDF and PostScript.");
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, INT_MAX, true);
  if (options == nullptr) return Fail(job, "Unable to read the job's options.");
  auto folder = DocumentFolder::Make(settings.spoolFolder);
  bool ok = folder.ok();
  if (!ok) Fail(job, "Unable to make the document's folder: " + folder.error() + ".");
  const bool pdf = std::strcmp(format, "application/pdf") == 0;
  for (int copy = 0; ok && copy < options->copies; ++copy) ok = PrintCopy(job, *options, pdf, input, **folder);
  papplJobDeletePrintOptions(options);
  return ok;
}

bool FilterDocument(pappl_job_t* job, pappl_device_t* device) {
  if (!StartKavJob(job, device)) return false;
  const bool ok = RenderAndPrint(job);
  return EndKavJob(job) && ok;
}

// A whole number option within [low, high], or `fallback` when not given.
Result<uint64_t> NumberOption(const char* name, int numOptions, cups_option_t* options, uint64_t fallback, uint64_t low,
                              uint64_t high) {
  const char* text = cupsGetOption(name, numOptions, options);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || text[0] == '-' || value < low || value > high) {
    return Error{std::string(name) + " must be a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high)};
  }
  return value;
}

}  // namespace

Result<DocumentLimits> DocumentLimitsFrom(int numOptions, cups_option_t* options) {
  const DocumentLimits defaults;
  const auto seconds =
      NumberOption("render-time-limit", numOptions, options, uint64_t(defaults.renderTime.count()), 1, 86400);
  const auto mib =
      NumberOption("render-memory-limit", numOptions, options, defaults.renderMemoryBytes >> 20, 64, uint64_t{1} << 20);
  const auto pages = NumberOption("page-limit", numOptions, options, defaults.pages, 1, 1000000);
  for (const Result<uint64_t>* each : {&seconds, &mib, &pages}) {
    if (!*each) return each->failure();
  }
  return DocumentLimits{std::chrono::seconds(*seconds), *mib << 20, static_cast<uint32_t>(*pages)};
}

void AddPdfFilter(pappl_system_t* system, const std::string& spoolFolder, const DocumentLimits& limits) {
  settings = {spoolFolder, limits, FindProgram("gs", std::getenv("PATH"))};
  if (settings.ghostscript.empty()) {
    papplLog(system, PAPPL_LOGLEVEL_WARN, "Ghostscript (gs) is not installed: PDF and PostScript jobs will fail.");
  }
  AddDriverFilter(system, "application/pdf", "image/pwg-raster", FilterDocument);
  AddDriverFilter(system, "application/postscript", "image/pwg-raster", FilterDocument);
}

}  // namespace kav::app
