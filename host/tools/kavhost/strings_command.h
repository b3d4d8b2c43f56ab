// `kavhost strings`: the UI library's display strings, loaded as the host
// loads them, one line each: the id, a tab, the text in UTF-8.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kav::tools {

// Options after the word "strings": at most --plugin PATH of the UI library.
bool ParseStringsOptions(const std::vector<std::string>& args, std::string& plugin, std::string& error);

int RunStrings(const std::string& plugin, std::ostream& out, std::ostream& err);

}  // namespace kav::tools
