#include "interrupted_jobs.h"

#include <cstdlib>
#include <string_view>

#include "state_file.h"

namespace kav::app {
namespace {

// PAPPL saves each printer as a `<Printer ... id="N" ...>` line followed by
// its settings and one `Job name="value" ...` line per job. A value is
// quoted and a quote inside it escaped, so ` state="5"` is never part of one.
constexpr std::string_view kJobLine = "Job ";
constexpr std::string_view kPrinterLine = "<Printer ";
constexpr std::string_view kPrinting = " state=\"5\"";  // IPP_JSTATE_PROCESSING
constexpr std::string_view kHeld = " state=\"4\"";      // IPP_JSTATE_HELD

// The number in ` id="N"` on the line, or 0.
int IdOn(std::string_view line) {
  const size_t at = line.find(" id=\"");
  return at == std::string_view::npos ? 0 : std::atoi(std::string(line.substr(at + 5, 12)).c_str());
}

}  // namespace

Result<std::vector<InterruptedJob>> HoldInterruptedJobs(const std::string& path,
                                                        const std::function<void(const InterruptedJob&)>& remember) {
  std::vector<InterruptedJob> jobs;
  auto saved = ReadSavedFile(path);
  if (!saved) return saved.failure();
  std::string& text = *saved;
  int printerId = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    if (line.starts_with(kPrinterLine)) printerId = IdOn(line);
    const size_t printing = line.find(kPrinting);
    if (line.starts_with(kJobLine) && printing != std::string_view::npos && printerId > 0) {
      jobs.push_back({printerId, IdOn(line)});
      text.replace(start + printing, kHeld.size(), kHeld);
    }
    start = end + 1;
  }
  if (jobs.empty()) return jobs;
  for (const InterruptedJob& job : jobs) remember(job);
  if (auto written = ReplaceSavedFile(path, text); !written) return written.failure();
  return jobs;
}

}  // namespace kav::app
