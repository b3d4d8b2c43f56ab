#include "kavhost/strings_command.h"

#include "host/plugin_library.h"
#include "host/ui_session.h"
#include "job/kavjob_command.h"
#include "kavhost/render_start.h"
#include "platform/wide_text.h"
#include "support/arguments.h"

namespace kav::tools {

bool ParseStringsOptions(const std::vector<std::string>& args, std::string& plugin, std::string& error) {
  ParsedArguments parsed;
  if (!ParseArguments(args, KnownOptions{{"--plugin"}, {}}, parsed, error)) return false;
  if (!parsed.positional.empty()) {
    error = "strings takes no file";
    return false;
  }
  if (parsed.values.count("--plugin") != 0) plugin = parsed.values["--plugin"];
  return true;
}

int RunStrings(const std::string& plugin, std::ostream& out, std::ostream& err) {
  host::UiSession session;
  std::string error;
  if (!session.Open(plugin.empty() ? host::PluginBesideProgram("kavui") : plugin, error)) return Failure(err, error);
  // Every id a string table can hold.
  for (UINT id = 0; id <= 0xFFFF; ++id) {
    const std::optional<std::u16string> text = session.LoadDisplayString(id);
    if (!text) continue;
    const std::basic_string_view<WCHAR> wide(reinterpret_cast<const WCHAR*>(text->data()), text->size());
    out << id << "\t" << ToUtf8(wide) << "\n";
  }
  return kExitOk;
}

}  // namespace kav::tools
