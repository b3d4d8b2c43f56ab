#include "support/tool_exit.h"

#include <exception>
#include <iostream>
#include <new>

#include "support/files.h"
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

int RunTool(std::string_view tool, const std::function<int()>& command) {
  FailWritesToClosedPipes();
  try {
    return command();
  } catch (const std::bad_alloc&) {
    return ReportFailure(std::cerr, tool, "out of memory");
  } catch (const std::exception& e) {
    return ReportFailure(std::cerr, tool, e.what());
  }
}

}  // namespace kav::tools
