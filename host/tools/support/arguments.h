// Command lines of the tools: positional words and "--name VALUE" or
// "--name=VALUE" options, each option known to the command that takes it.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kav::tools {

struct ParsedArguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;  // by option name, as "--mode"
  std::set<std::string> flags;                // options without a value
};

struct KnownOptions {
  std::set<std::string> withValue;  // "-o" and "--output" are both names here
  std::set<std::string> flags;
};

// Fails with `error` for an unknown option, a missing value or an option given twice.
bool ParseArguments(const std::vector<std::string>& args, const KnownOptions& known, ParsedArguments& parsed,
                    std::string& error);

// A whole decimal number within [min, max].
std::optional<long long> ParseWholeNumber(const std::string& text, long long min, long long max);

}  // namespace kav::tools
