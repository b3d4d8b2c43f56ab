// `kavhost strings`: the UI library's display strings, loaded as the host
// loads them, one line each: the id, a tab, the text in UTF-8.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/result.h"
#include "support/command_line.h"

namespace kav::tools {

// The one option of `strings`: --plugin PATH of the UI library, read into `plugin`.
void DescribeStringsOptions(CLI::App& command, std::string& plugin);

Status RunStrings(const std::string& plugin, std::ostream& out);

}  // namespace kav::tools
