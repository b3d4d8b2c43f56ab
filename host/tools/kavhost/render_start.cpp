#include "kavhost/render_start.h"

#include "host/plugin_library.h"
#include "platform/standin.h"

namespace kav::tools {

void ApplyOsVersion(const std::optional<std::pair<uint32_t, uint32_t>>& version, const char* option,
                    std::ostream& err) {
  if (!version) return;
  if (const standin::Controls* standins = standin::Get()) {
    standins->SetOsVersion(version->first, version->second);
  } else {
    err << "kavhost: note: " << option
        << " does nothing on Windows; the system's own version decides whether bands are tried as JPEG\n";
  }
}

std::string RenderPluginPath(const std::string& plugin) {
  return plugin.empty() ? host::PluginBesideProgram("kavrender") : plugin;
}

}  // namespace kav::tools
