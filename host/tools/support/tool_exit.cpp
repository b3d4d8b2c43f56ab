#include "support/tool_exit.h"

#include "support/shown_text.h"

namespace kav::tools {

int ReportFailure(std::ostream& err, std::string_view tool, std::string_view message) {
  err << tool << ": " << OneLine(message) << "\n";
  return kExitFailure;
}

int ReportUsageError(std::ostream& err, std::string_view tool, std::string_view message) {
  err << tool << ": " << OneLine(message) << " (" << tool << " --help tells the usage)\n";
  return kExitUsage;
}

int ExitCodeOf(const Status& status, std::ostream& err, std::string_view tool) {
  return status ? kExitOk : ReportFailure(err, tool, status.error());
}

}  // namespace kav::tools
