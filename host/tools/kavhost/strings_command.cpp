#include "kavhost/strings_command.h"

#include "host/plugin_library.h"
#include "host/ui_session.h"
#include "platform/wide_text.h"

namespace kav::tools {

void DescribeStringsOptions(CLI::App& command, std::string& plugin) {
  AddOption(command, "--plugin", "PATH", "UI library to load (default: the one beside the program)", plugin);
}

Status RunStrings(const std::string& plugin, std::ostream& out) {
  host::UiSession session;
  std::string error;
  if (!session.Open(plugin.empty() ? host::PluginBesideProgram("kavui") : plugin, error)) return Error{error};
  // Every id a string table can hold.
  for (UINT id = 0; id <= 0xFFFF; ++id) {
    const std::optional<std::u16string> text = session.LoadDisplayString(id);
    if (!text) continue;
    const std::basic_string_view<WCHAR> wide(reinterpret_cast<const WCHAR*>(text->data()), text->size());
    out << id << "\t" << ToUtf8(wide) << "\n";
  }
  return {};
}

}  // namespace kav::tools
