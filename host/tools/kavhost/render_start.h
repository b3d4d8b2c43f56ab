// The start that `kavhost print` and `kavhost replay` share: the system
// version the plug-in is to see, and the render plug-in loaded.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "host/render_session.h"

namespace kav::tools {

// Makes the Linux stand-ins report this MAJOR.MINOR version. On Windows the
// system's own version decides, so `option` (as the user named it) only gets
// a note on `err`.
void ApplyOsVersion(const std::optional<std::pair<uint32_t, uint32_t>>& version, const char* option, std::ostream& err);

// The render plug-in to load: `plugin`, or the render library beside the
// program when it is empty.
std::string RenderPluginPath(const std::string& plugin);

}  // namespace kav::tools
