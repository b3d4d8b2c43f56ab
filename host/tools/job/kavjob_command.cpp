#include "job/kavjob_command.h"

#include <sstream>

#include "job/job_inspect.h"
#include "job/page_decoder.h"
#include "support/files.h"

namespace kav::tools {
namespace {

constexpr const char* kUsage =
    "usage: kavjob inspect JOB [-o LISTING]\n"
    "       kavjob decode JOB -o PAGE.png   (further pages: PAGE-2.png, ...; .pnm, .pgm, .ppm write PNM)\n";

int Usage(std::ostream& err, const std::string& message) {
  err << "kavjob: " << message << " (kavjob --help tells the usage)\n";
  return kExitUsage;
}

int Failure(std::ostream& err, const std::string& message) {
  err << "kavjob: " << message << "\n";
  return kExitFailure;
}

// The listing goes to the standard output, or to a file when one is named.
int Inspect(const std::string& path, const std::string& listing, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> job;
  std::string error;
  if (!ReadWholeFile(path, job, error)) return Failure(err, error);
  const JobReading reading = ReadJob(job.data(), job.size());
  std::ostringstream text;
  PrintInspection(reading, listing.empty() ? out : text);
  if (!listing.empty()) {
    const std::string lines = text.str();
    if (!WriteWholeFile(listing, lines.data(), lines.size(), error)) return Failure(err, error);
  }
  if (!reading.ok) return Failure(err, path + ": " + reading.error);
  return kExitOk;
}

int Decode(const std::string& path, const std::string& output, std::ostream& out, std::ostream& err) {
  if (!IsImageFileName(output)) return Usage(err, output + ": name the page file .png, .pnm, .pgm or .ppm");
  std::vector<uint8_t> job;
  std::string error;
  if (!ReadWholeFile(path, job, error)) return Failure(err, error);
  const JobReading reading = ReadJob(job.data(), job.size());
  if (!reading.ok) return Failure(err, path + ": " + reading.error);
  const std::vector<PagePlan> plans = PlanPages(reading.items);
  if (plans.empty()) return Failure(err, path + ": the job holds no page (no image record and no \"EB\")");
  for (size_t i = 0; i < plans.size(); ++i) {
    Image page;
    std::vector<std::string> warnings;
    const bool ok = RenderPage(job.data(), plans[i], page, warnings, error);
    for (const std::string& warning : warnings) err << "kavjob: warning: page " << i + 1 << ": " << warning << "\n";
    if (!ok) return Failure(err, path + ": page " + std::to_string(i + 1) + ": " + error);
    const std::string name = PageFileName(output, i);
    if (!WriteImageFile(name, page, error)) return Failure(err, error);
    const PageGeometry geometry = PageSize(plans[i]);
    out << "page " << i + 1 << ": " << page.width << "x" << page.height << (page.channels == 3 ? " colour" : " gray")
        << (geometry.dpi != 0 ? " at " + std::to_string(geometry.dpi) + " dpi" : "")
        << (geometry.fromPaper ? "" : " (size of the bands: no paper size or placement)") << ", "
        << plans[i].records.size() << " image records -> " << name << "\n";
    if (!plans[i].ended) err << "kavjob: warning: page " << i + 1 << ": the job ends without \"EB\"\n";
  }
  return kExitOk;
}

}  // namespace

std::string PageFileName(const std::string& first, size_t pageIndex) {
  if (pageIndex == 0) return first;
  const size_t dot = first.find_last_of('.');
  const size_t slash = first.find_last_of("/\\");
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = hasExtension ? first.substr(0, dot) : first;
  const std::string extension = hasExtension ? first.substr(dot) : "";
  return stem + "-" + std::to_string(pageIndex + 1) + extension;
}

int RunKavJob(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return Usage(err, "no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  std::string job;
  std::string output;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "-o" || args[i] == "--output") {
      if (i + 1 >= args.size()) return Usage(err, args[i] + " needs a file name");
      output = args[++i];
    } else if (!args[i].empty() && args[i][0] == '-') {
      return Usage(err, "unknown option " + args[i]);
    } else if (job.empty()) {
      job = args[i];
    } else {
      return Usage(err, "more than one job given");
    }
  }
  if (command != "inspect" && command != "decode") return Usage(err, "unknown command " + command);
  if (job.empty()) return Usage(err, command + " needs a job file");
  if (command == "inspect") return Inspect(job, output, out, err);
  if (output.empty()) return Usage(err, "decode needs -o PAGE.png");
  return Decode(job, output, out, err);
}

}  // namespace kav::tools
