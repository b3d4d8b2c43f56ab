// `kavhost`: the printer host stood in for, as a tool. The whole command
// line, testable in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kav::tools {

// `stderrIsTerminal` allows the band progress display of large pages.
int RunKavHost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool stderrIsTerminal);

}  // namespace kav::tools
