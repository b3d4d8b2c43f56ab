// How the tools end: an exit code, and on failure one line on the standard
// error that says what went wrong.
#pragma once

#include <functional>
#include <ostream>
#include <string_view>

#include "host/result.h"

namespace kav::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // bad input or a failed step
inline constexpr int kExitUsage = 2;    // a command line that is not understood

// Writes "TOOL: MESSAGE" as one line; answers kExitFailure.
int ReportFailure(std::ostream& err, std::string_view tool, std::string_view message);

// Writes "TOOL: MESSAGE (TOOL --help tells the usage)" as one line; answers kExitUsage.
int ReportUsageError(std::ostream& err, std::string_view tool, std::string_view message);

// kExitOk for a step that succeeded, else its failure reported as ReportFailure does.
int ExitCodeOf(const Status& status, std::ostream& err, std::string_view tool);

// Runs a tool's `command` as its main does: a failure nothing else caught
// (running out of memory) is reported as one line, and writing to a pipe
// whose reader has gone is a failed write, not a silent end.
int RunTool(std::string_view tool, const std::function<int()>& command);

}  // namespace kav::tools
