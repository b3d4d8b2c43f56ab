#include "kavhost/kavhost_command.h"

#include "job/kavjob_command.h"
#include "kavhost/print_command.h"
#include "kavhost/replay_command.h"
#include "kavhost/strings_command.h"
#include "support/shown_text.h"

namespace kav::tools {
namespace {

constexpr const char* kUsage =
    "usage: kavhost print [PICTURE] -o JOB [--mode mono|gray|color] [--dpi N] [--paper "
    "A4|A3|A5|B4|B5|Letter|Legal|WxH]\n"
    "                     [--orientation portrait|landscape] [--rotate180] [--band-height ROWS]\n"
    "                     [--os-version MAJOR.MINOR] [--plugin PATH]\n"
    "       kavhost replay SCRIPT.json -o JOB [--writes FILE] [--plugin PATH]\n"
    "       kavhost strings [--plugin PATH]\n";

int Usage(std::ostream& err, const std::string& message) {
  err << "kavhost: " << OneLine(message) << " (kavhost --help tells the usage)\n";
  return kExitUsage;
}

}  // namespace

int RunKavHost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool stderrIsTerminal) {
  if (args.empty()) return Usage(err, "no command given");
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  std::string error;
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  if (command == "print") {
    PrintOptions options;
    if (!ParsePrintOptions(rest, options, error)) return Usage(err, error);
    options.progress = stderrIsTerminal;
    return RunPrint(options, out, err);
  }
  if (command == "replay") {
    ReplayOptions options;
    if (!ParseReplayOptions(rest, options, error)) return Usage(err, error);
    return RunReplay(options, out, err);
  }
  if (command == "strings") {
    std::string plugin;
    if (!ParseStringsOptions(rest, plugin, error)) return Usage(err, error);
    return RunStrings(plugin, out, err);
  }
  return Usage(err, "unknown command " + ShownWord(command));
}

}  // namespace kav::tools
