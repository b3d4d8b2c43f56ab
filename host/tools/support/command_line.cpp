#include "support/command_line.h"

#include <charconv>

#include "support/shown_text.h"

namespace kav::tools {
namespace {

// The option as the usage shows it first: "-o" rather than "--output".
std::string ShortestName(const CLI::Option& option) {
  if (option.get_positional()) return option.get_name();
  if (!option.get_snames().empty()) return "-" + option.get_snames().front();
  return "--" + option.get_lnames().front();
}

std::string CommandName(const CLI::App& command) {
  return command.get_name().empty() ? "the command" : command.get_name();
}

// What a command needs and did not get, as the usage writes it: "-o JOB", "SCRIPT.json".
std::string MissingMessage(const CLI::App& command) {
  for (const CLI::Option* option : command.get_options()) {
    if (!option->get_required() || option->count() != 0) continue;
    const std::string form =
        option->get_positional() ? option->get_name() : ShortestName(*option) + " " + option->get_type_name();
    return CommandName(command) + " needs " + form;
  }
  return "a required option is missing";
}

// CLI11 says "--output: 1 required JOB missing" or "--output: At Most 1
// required but received 2" for both; the counts tell which it is.
std::string MismatchMessage(const CLI::App& command, const CLI::ParseError& error) {
  for (const CLI::Option* option : command.get_options()) {
    if (option->count() > 1) return "option " + ShortestName(*option) + " given twice";
  }
  const std::string what = error.what();
  const CLI::Option* option = command.get_option_no_throw(what.substr(0, what.find(':')));
  return option == nullptr ? what : "option " + ShortestName(*option) + " needs a value";
}

std::string UsageMessage(const CLI::App& command, const CLI::ParseError& error) {
  if (error.get_name() == "RequiredError") return MissingMessage(command);
  if (error.get_name() == "ArgumentMismatch") return MismatchMessage(command, error);
  return error.what();
}

// A word the command has no place for: an option it does not know, or one
// file more than it takes.
std::string ExtraWordMessage(const CLI::App& command, const std::string& word) {
  if (word.size() > 1 && word[0] == '-') return "unknown option " + ShownWord(word);
  const std::vector<const CLI::Option*> words =
      command.get_options([](const CLI::Option* option) { return option->get_positional(); });
  const std::string takes = words.empty() ? "no file" : "one " + words.front()->get_name();
  return CommandName(command) + " takes " + takes + ": " + ShownWord(word) + " is one too many";
}

// The sub-command that was named, or the tool when it has none; an error
// for a tool with sub-commands where none, or no known one, was named.
Result<CLI::App*> NamedCommand(CLI::App& tool) {
  if (tool.get_subcommands({}).empty()) return &tool;
  if (!tool.remaining().empty()) return Error{"unknown command " + ShownWord(tool.remaining().front())};
  if (tool.get_subcommands().empty()) return Error{"no command given"};
  return tool.get_subcommands().front();
}

// The usage of the tool with every sub-command, or of one sub-command.
std::string UsageOf(CLI::App& tool, const CLI::App& command) {
  return &command == &tool ? tool.help("", CLI::AppFormatMode::All) : command.help(tool.get_name());
}

// How the tool and each of its commands read their words. The words the
// description has no place for are kept, so the message about them is ours.
// An option starts with "-" on every system: CLI11 on Windows also takes
// "/name" for one, which turns a path rooted at "/" ("/home/me/x.job") into
// an unknown option and leaves the command without its file.
void ReadWordsAsWritten(CLI::App& command) {
  command.allow_extras();
  command.allow_windows_style_options(false);
  for (CLI::App* subcommand : command.get_subcommands({})) ReadWordsAsWritten(*subcommand);
}

}  // namespace

CLI::Option* NameValue(CLI::Option* option, const std::string& valueName) {
  return option->type_name(option->get_positional() ? "" : valueName);
}

CLI::Option* AddOption(CLI::App& command, const std::string& names, const std::string& valueName,
                       const std::string& help, std::string& target) {
  return NameValue(command.add_option(names, target, help), valueName);
}

Result<CommandLine> ParseCommandLine(CLI::App& tool, const std::vector<std::string>& args) {
  ReadWordsAsWritten(tool);
  tool.require_subcommand(0, 1);
  // The tools took the word "help" before they took "--help".
  if (!args.empty() && args.front() == "help") return CommandLine{&tool, UsageOf(tool, tool)};
  try {
    tool.parse(std::vector<std::string>(args.rbegin(), args.rend()));
  } catch (const CLI::CallForHelp&) {
    const std::vector<CLI::App*> named = tool.get_subcommands();
    return CommandLine{&tool, UsageOf(tool, named.empty() ? tool : *named.front())};
  } catch (const CLI::ParseError& error) {
    const std::vector<CLI::App*> named = tool.get_subcommands();
    return Error{UsageMessage(named.empty() ? tool : *named.front(), error)};
  }
  const Result<CLI::App*> command = NamedCommand(tool);
  if (!command) return command.failure();
  if (!(*command)->remaining().empty()) return Error{ExtraWordMessage(**command, (*command)->remaining().front())};
  return CommandLine{*command, std::nullopt};
}

std::optional<long long> ParseWholeNumber(const std::string& text, long long min, long long max) {
  long long value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < min || value > max) return {};
  return value;
}

}  // namespace kav::tools
