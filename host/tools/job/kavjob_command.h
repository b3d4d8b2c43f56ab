// `kavjob`: reads a print job. The whole command line, testable in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kav::tools {

int RunKavJob(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "page.png" for the first page, "page-2.png" and on for the others.
std::string PageFileName(const std::string& first, size_t pageIndex);

}  // namespace kav::tools
