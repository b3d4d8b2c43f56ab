#include "job/kavjob_command.h"

#include <memory>
#include <sstream>

#include "job/job_inspect.h"
#include "job/page_decoder.h"
#include "support/arguments.h"
#include "support/files.h"
#include "support/output_file.h"
#include "support/shown_text.h"

namespace kav::tools {
namespace {

constexpr const char* kUsage =
    "usage: kavjob inspect JOB [-o LISTING]\n"
    "       kavjob decode JOB -o PAGE.png   (further pages: PAGE-2.png, ...; .pnm, .pgm, .ppm write PNM)\n";

int Usage(std::ostream& err, const std::string& message) {
  err << "kavjob: " << OneLine(message) << " (kavjob --help tells the usage)\n";
  return kExitUsage;
}

int Failure(std::ostream& err, const std::string& message) {
  err << "kavjob: " << OneLine(message) << "\n";
  return kExitFailure;
}

// The listing goes to the standard output, or to a file when one is named;
// the file keeps the lines read before a fault, for finding the fault.
int Inspect(const std::string& path, const std::string& listing, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> job;
  std::string error;
  if (!listing.empty() && !CheckOutputIsNoInput(listing, {path}, error)) return Failure(err, error);
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

std::string PageLine(size_t index, const Image& page, const PagePlan& plan, const std::string& name) {
  const PageGeometry geometry = PageSize(plan);
  return "page " + std::to_string(index + 1) + ": " + std::to_string(page.width) + "x" + std::to_string(page.height) +
         (page.channels == 3 ? " colour" : " gray") +
         (geometry.dpi != 0 ? " at " + std::to_string(geometry.dpi) + " dpi" : "") +
         (geometry.fromPaper ? "" : " (size of the bands: no paper size or placement)") + ", " +
         std::to_string(plan.records.size()) + " image records -> " + name + "\n";
}

// Every page is written to its own temporary file; they take their names
// together once the last page is decoded, so a fault leaves none behind.
int Decode(const std::string& path, const std::string& output, std::ostream& out, std::ostream& err) {
  if (!IsImageFileName(output)) return Usage(err, ShownWord(output) + ": name the page file .png, .pnm, .pgm or .ppm");
  std::vector<uint8_t> job;
  std::string error;
  if (!ReadWholeFile(path, job, error)) return Failure(err, error);
  const JobReading reading = ReadJob(job.data(), job.size());
  if (!reading.ok) return Failure(err, path + ": " + reading.error);
  const std::vector<PagePlan> plans = PlanPages(reading.items);
  if (plans.empty()) return Failure(err, path + ": the job holds no page (no image record and no \"EB\")");
  std::vector<std::unique_ptr<OutputFile>> files;
  std::string lines;
  for (size_t i = 0; i < plans.size(); ++i) {
    const std::string name = PageFileName(output, i);
    if (!CheckOutputIsNoInput(name, {path}, error)) return Failure(err, error);
    if (!plans[i].ended) err << "kavjob: warning: page " << i + 1 << ": the job ends without \"EB\"\n";
    if (plans[i].records.empty()) {
      lines += "page " + std::to_string(i + 1) + ": no image records; no picture written\n";
      continue;
    }
    Image page;
    std::vector<std::string> warnings;
    const bool ok = RenderPage(job.data(), plans[i], page, warnings, error);
    for (const std::string& warning : warnings) {
      err << "kavjob: warning: page " << i + 1 << ": " << OneLine(warning) << "\n";
    }
    if (!ok) return Failure(err, path + ": page " + std::to_string(i + 1) + ": " + error);
    files.push_back(std::make_unique<OutputFile>());
    if (!files.back()->Open(name, error) || !WriteImageTo(*files.back(), page, error)) return Failure(err, error);
    lines += PageLine(i, page, plans[i], name);
  }
  std::vector<OutputFile*> outputs;
  for (const auto& file : files) outputs.push_back(file.get());
  if (!CommitAll(outputs, error)) return Failure(err, error);
  out << lines;
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
  if (command != "inspect" && command != "decode") return Usage(err, "unknown command " + ShownWord(command));
  ParsedArguments parsed;
  std::string error;
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (!ParseArguments(rest, KnownOptions{{"-o", "--output"}, {}}, parsed, error)) return Usage(err, error);
  if (parsed.values.count("-o") != 0 && parsed.values.count("--output") != 0) {
    return Usage(err, "option -o given twice (as -o and --output)");
  }
  if (parsed.positional.size() > 1) return Usage(err, "more than one job given");
  const std::string job = parsed.positional.empty() ? "" : parsed.positional[0];
  const std::string output = parsed.values.count("-o") != 0 ? parsed.values["-o"] : parsed.values["--output"];
  if (job.empty()) return Usage(err, command + " needs a job file");
  if (command == "inspect") return Inspect(job, output, out, err);
  if (output.empty()) return Usage(err, "decode needs -o PAGE.png");
  return Decode(job, output, out, err);
}

}  // namespace kav::tools
