#include "pdf_filter.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "kav_driver.h"

extern char** environ;

namespace kav::app {
namespace {

// Ghostscript gets this long for a document before the job is aborted.
constexpr std::chrono::seconds kRenderLimit{300};
// Longest raster line read back (far beyond the widest sheet at 4800 dpi).
constexpr unsigned kMaxLineBytes = 1u << 20;

bool IsGray(pappl_color_mode_t mode) {
  return mode == PAPPL_COLOR_MODE_BI_LEVEL || mode == PAPPL_COLOR_MODE_MONOCHROME ||
         mode == PAPPL_COLOR_MODE_AUTO_MONOCHROME || mode == PAPPL_COLOR_MODE_PROCESS_MONOCHROME;
}

// What Ghostscript is told: the job's sheet in pixels at its resolution,
// each page fitted to it, the job's page range, gray or sRGB samples.
std::vector<std::string> GhostscriptArguments(const pappl_pr_options_t& options, bool pdf, const char* input,
                                              const std::string& output) {
  const cups_page_header2_t& header = options.header;
  std::vector<std::string> args = {
      "gs",
      "-q",
      "-dSAFER",
      "-dBATCH",
      "-dNOPAUSE",
      "-dNOINTERPOLATE",
      "-sDEVICE=pwgraster",
      "-dcupsBitsPerColor=8",
      IsGray(options.print_color_mode) ? "-dcupsColorSpace=18" : "-dcupsColorSpace=19",
      "-r" + std::to_string(header.HWResolution[0]) + "x" + std::to_string(header.HWResolution[1]),
      "-g" + std::to_string(header.cupsWidth) + "x" + std::to_string(header.cupsHeight),
      "-dFIXEDMEDIA",
      pdf ? "-dPDFFitPage" : "-dFitPage",
      "-sOutputFile=" + output};
  if (pdf && options.first_page > 1) args.push_back("-dFirstPage=" + std::to_string(options.first_page));
  if (pdf && options.last_page < static_cast<unsigned>(INT_MAX)) {
    args.push_back("-dLastPage=" + std::to_string(options.last_page));
  }
  args.push_back("-f");
  args.push_back(input);
  return args;
}

// Runs Ghostscript with its output thrown away; stops it when the job is
// cancelled or the time limit passes.
bool RunGhostscript(pappl_job_t* job, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "gs", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return Fail(job, "Unable to run Ghostscript (gs): " + std::string(std::strerror(spawned)) + ".");
  const auto deadline = std::chrono::steady_clock::now() + kRenderLimit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (papplJobIsCanceled(job) || std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      if (papplJobIsCanceled(job)) return false;
      return Fail(job, "Ghostscript took longer than " + std::to_string(kRenderLimit.count()) + " seconds.");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  return Fail(job, "Ghostscript could not read the document (it is damaged or not PDF/PostScript).");
}

bool PrintRasterPage(pappl_job_t* job, cups_raster_t* raster, const cups_page_header2_t& header,
                     pappl_color_mode_t mode) {
  if (header.cupsBytesPerLine == 0 || header.cupsBytesPerLine > kMaxLineBytes) {
    return Fail(job, "Ghostscript made lines of " + std::to_string(header.cupsBytesPerLine) + " bytes.");
  }
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

// One copy: every page Ghostscript made.
bool PrintRasterFile(pappl_job_t* job, const std::string& path, pappl_color_mode_t mode) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return Fail(job, "Unable to read Ghostscript's raster.");
  // Ghostscript ends without error and without a page for some damaged documents.
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
  bool ok = true;
  unsigned pages = 0;
  cups_page_header2_t header;
  while (ok && raster != nullptr && cupsRasterReadHeader2(raster, &header) != 0) {
    ++pages;
    ok = PrintRasterPage(job, raster, header, mode);
  }
  if (ok && pages == 0) ok = Fail(job, "Ghostscript could not read the document: it made no page.");
  if (raster != nullptr) cupsRasterClose(raster);
  close(fd);
  return ok;
}

bool PrintCopies(pappl_job_t* job, const pappl_pr_options_t& options, const std::string& raster) {
  bool ok = true;
  for (int copy = 0; ok && copy < options.copies; ++copy) ok = PrintRasterFile(job, raster, options.print_color_mode);
  return ok;
}

bool RenderAndPrint(pappl_job_t* job) {
  const char* input = papplJobGetFilename(job);
  const char* format = papplJobGetFormat(job);
  if (input == nullptr || format == nullptr) return Fail(job, "The job has no document file.");
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, INT_MAX, true);
  if (options == nullptr) return Fail(job, "Unable to read the job's options.");
  char path[1024];
  const int fd = papplJobOpenFile(job, path, sizeof path, nullptr, "pwg", "w");
  bool ok = fd >= 0;
  if (!ok) {
    Fail(job, "Unable to make a file in the spool folder.");
  } else {
    close(fd);
    const bool pdf = std::strcmp(format, "application/pdf") == 0;
    ok = RunGhostscript(job, GhostscriptArguments(*options, pdf, input, path)) && PrintCopies(job, *options, path);
    unlink(path);
  }
  papplJobDeletePrintOptions(options);
  return ok;
}

// The job's turn on the device spans the whole filter: a document Ghostscript
// cannot read ends the job too, and PAPPL then closes the device.
bool FilterDocument(pappl_job_t* job, pappl_device_t* device, void*) {
  if (!StartKavJob(job, device)) return false;
  const bool ok = RenderAndPrint(job);
  return EndKavJob(job) && ok;
}

}  // namespace

void AddPdfFilter(pappl_system_t* system) {
  papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", FilterDocument, nullptr);
  papplSystemAddMIMEFilter(system, "application/postscript", "image/pwg-raster", FilterDocument, nullptr);
}

}  // namespace kav::app
