// The tools' command lines, described with CLI11: an option is written once,
// with its names, the name of its value, its help and how its text is read,
// and that one description both parses the command line and writes the usage.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/result.h"

namespace kav::tools {

// The usage names an option's value as `valueName`; a positional word is
// named by its own name alone.
CLI::Option* NameValue(CLI::Option* option, const std::string& valueName);

// Adds an option, or a positional word for a name without a dash, whose text
// `read` (a callable answering Result<T>) turns into `target`. A text that
// `read` refuses makes the command line not understood, with its message.
template <class T, class Read>
CLI::Option* AddOption(CLI::App& command, const std::string& names, const std::string& valueName,
                       const std::string& help, T& target, Read read) {
  const auto take = [&target, read](const std::string& text) {
    Result<T> value = read(text);
    if (!value) throw CLI::ValidationError(value.error());
    target = std::move(value).value();
  };
  return NameValue(command.add_option_function<std::string>(names, take, help), valueName);
}

// An option whose text is taken as it is.
CLI::Option* AddOption(CLI::App& command, const std::string& names, const std::string& valueName,
                       const std::string& help, std::string& target);

// What a command line asks for: a command to run, or the usage to show.
struct CommandLine {
  CLI::App* command = nullptr;      // the sub-command named, or the tool itself when it has none
  std::optional<std::string> help;  // the usage, when --help was asked for
};

// Parses `args` (the words after the program's name) by the description of
// `tool`. Options start with "-" on every system; a word that starts with "/"
// is a path, on Windows too. A command line that is not understood answers
// one line that says why, in the tools' own words.
Result<CommandLine> ParseCommandLine(CLI::App& tool, const std::vector<std::string>& args);

// A whole decimal number within [min, max].
std::optional<long long> ParseWholeNumber(const std::string& text, long long min, long long max);

}  // namespace kav::tools
