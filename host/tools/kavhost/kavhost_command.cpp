#include "kavhost/kavhost_command.h"

#include "kavhost/print_command.h"
#include "kavhost/replay_command.h"
#include "kavhost/strings_command.h"
#include "support/command_line.h"
#include "support/tool_exit.h"

namespace kav::tools {
namespace {

constexpr const char* kTool = "kavhost";

}  // namespace

int RunKavHost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool stderrIsTerminal) {
  CLI::App tool("kavhost: drives the render plug-in as the printer host does and writes the job", kTool);
  PrintOptions print;
  CLI::App* printCommand = tool.add_subcommand("print", "prints one page through the render plug-in");
  DescribePrintOptions(*printCommand, print);
  ReplayOptions replay;
  CLI::App* replayCommand = tool.add_subcommand("replay", "makes the host calls of a script");
  DescribeReplayOptions(*replayCommand, replay);
  std::string uiPlugin;
  CLI::App* stringsCommand = tool.add_subcommand("strings", "lists the UI library's display strings");
  DescribeStringsOptions(*stringsCommand, uiPlugin);
  const Result<CommandLine> line = ParseCommandLine(tool, args);
  if (!line) return ReportUsageError(err, kTool, line.error());
  if (line->help) {
    out << *line->help;
    return kExitOk;
  }
  if (line->command == printCommand) {
    print.progress = stderrIsTerminal;
    return ExitCodeOf(RunPrint(print, out, err), err, kTool);
  }
  if (line->command == replayCommand) return ExitCodeOf(RunReplay(replay, out, err), err, kTool);
  return ExitCodeOf(RunStrings(uiPlugin, out), err, kTool);
}

}  // namespace kav::tools
