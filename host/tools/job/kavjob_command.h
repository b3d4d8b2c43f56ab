// `kavjob`: reads a print job. The whole command line, testable in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kav::tools {

// Exit codes of both tools.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // bad input or a failed step
inline constexpr int kExitUsage = 2;    // a command line that is not understood

int RunKavJob(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "page.png" for the first page, "page-2.png" and on for the others.
std::string PageFileName(const std::string& first, size_t pageIndex);

}  // namespace kav::tools
