#include "job/kavjob_command.h"

#include <memory>
#include <sstream>

#include "job/job_inspect.h"
#include "job/page_decoder.h"
#include "support/command_line.h"
#include "support/files.h"
#include "support/output_file.h"
#include "support/shown_text.h"
#include "support/tool_exit.h"

namespace kav::tools {
namespace {

constexpr const char* kTool = "kavjob";

// A job is read whole; the largest page our host makes (A3 at 1200 dpi in
// colour) takes under 1 GiB, so twice that leaves room for every real job.
constexpr uint64_t kMaxJobBytes = uint64_t{2} << 30;

Result<std::vector<uint8_t>> ReadJobFile(const std::string& path) {
  const Result<uint64_t> size = RegularFileSize(path);
  if (!size) return size.failure();
  if (*size > kMaxJobBytes) {
    return Error{path + ": a job of " + std::to_string(*size) + " bytes is more than kavjob reads (at most " +
                 std::to_string(kMaxJobBytes >> 30) + " GiB)"};
  }
  return ReadWholeFile(path);
}

// The listing goes to the standard output, or to a file when one is named;
// the file keeps the lines read before a fault, for finding the fault.
Status Inspect(const std::string& path, const std::string& listing, std::ostream& out) {
  if (!listing.empty()) {
    if (const Status distinct = CheckOutputIsNoInput(listing, {path}); !distinct) return distinct;
  }
  const Result<std::vector<uint8_t>> job = ReadJobFile(path);
  if (!job) return job.failure();
  const JobReading reading = ReadJob(job->data(), job->size());
  std::ostringstream text;
  PrintInspection(reading, listing.empty() ? out : text);
  if (!listing.empty()) {
    const std::string lines = text.str();
    if (const Status written = WriteWholeFile(listing, lines.data(), lines.size()); !written) return written;
  }
  if (!reading.status) return WithContext(reading.status, path);
  return {};
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
Status Decode(const std::string& path, const std::string& output, std::ostream& out, std::ostream& err) {
  const Result<std::vector<uint8_t>> job = ReadJobFile(path);
  if (!job) return job.failure();
  const JobReading reading = ReadJob(job->data(), job->size());
  if (!reading.status) return WithContext(reading.status, path);
  const std::vector<PagePlan> plans = PlanPages(reading.items);
  if (plans.empty()) return Error{path + ": the job holds no page (no image record and no \"EB\")"};
  std::vector<std::unique_ptr<OutputFile>> files;
  std::string lines;
  for (size_t i = 0; i < plans.size(); ++i) {
    const std::string name = PageFileName(output, i);
    if (const Status distinct = CheckOutputIsNoInput(name, {path}); !distinct) return distinct;
    if (!plans[i].ended) err << "kavjob: warning: page " << i + 1 << ": the job ends without \"EB\"\n";
    if (plans[i].records.empty()) {
      lines += "page " + std::to_string(i + 1) + ": no image records; no picture written\n";
      continue;
    }
    std::vector<std::string> warnings;
    const Result<Image> page = RenderPage(job->data(), plans[i], warnings);
    for (const std::string& warning : warnings) {
      err << "kavjob: warning: page " << i + 1 << ": " << OneLine(warning) << "\n";
    }
    if (!page) return Error{path + ": page " + std::to_string(i + 1) + ": " + page.error()};
    files.push_back(std::make_unique<OutputFile>());
    if (const Status opened = files.back()->Open(name); !opened) return opened;
    if (const Status written = WriteImageTo(*files.back(), *page); !written) return written;
    lines += PageLine(i, *page, plans[i], name);
  }
  std::vector<OutputFile*> outputs;
  for (const auto& file : files) outputs.push_back(file.get());
  if (const Status committed = CommitAll(outputs); !committed) return committed;
  out << lines;
  return {};
}

Result<std::string> ReadPageName(const std::string& text) {
  if (IsImageFileName(text)) return text;
  return Error{ShownWord(text) + ": name the page file .png, .pnm, .pgm or .ppm"};
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
  CLI::App tool("kavjob: shows what a print job tells the printer and rebuilds its pages", kTool);
  std::string job;
  std::string output;
  CLI::App* inspect = tool.add_subcommand("inspect", "lists every command and image record of the job");
  AddOption(*inspect, "JOB", "JOB", "the job file to read", job)->required();
  AddOption(*inspect, "-o,--output", "LISTING", "writes the listing to this file instead", output);
  CLI::App* decode = tool.add_subcommand("decode", "rebuilds each page of the job as a picture");
  AddOption(*decode, "JOB", "JOB", "the job file to read", job)->required();
  AddOption(*decode, "-o,--output", "PAGE.png",
            "the first page's picture; further pages PAGE-2.png, ...; .pnm, .pgm, .ppm write PNM", output, ReadPageName)
      ->required();
  const Result<CommandLine> line = ParseCommandLine(tool, args);
  if (!line) return ReportUsageError(err, kTool, line.error());
  if (line->help) {
    out << *line->help;
    return kExitOk;
  }
  const Status done = line->command == inspect ? Inspect(job, output, out) : Decode(job, output, out, err);
  return ExitCodeOf(done, err, kTool);
}

}  // namespace kav::tools
