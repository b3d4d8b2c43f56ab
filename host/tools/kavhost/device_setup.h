// The device of one page as the built-in printer description sets it up,
// shared by `kavhost print` and the printer application so both send the
// plug-in the same device mode, GDI information and feature settings.
#pragma once

#include <cstdint>

#include "host/render_session.h"
#include "kavhost/printer_description.h"

namespace kav::tools {

struct DeviceSettings {
  ColorMode mode = ColorMode::kColor;
  Paper paper;
  uint32_t dpi = 600;
  bool landscape = false;
  bool rotate180 = false;
};

// Fills the session's device mode, GDI information and the "Orientation" and
// "Rotation" settings; the device is enabled afterwards.
void SetUpDevice(host::RenderSession& session, const DeviceSettings& settings, const PageLayout& layout);

}  // namespace kav::tools
