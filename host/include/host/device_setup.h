// The device of one page as the built-in printer description sets it up,
// shared by `kavhost print` and the printer application so both send the
// plug-in the same device mode, GDI information and feature settings.
#pragma once

#include <cstdint>

#include "host/printer_description.h"
#include "host/render_session.h"

namespace kav::host {

struct DeviceSettings {
  ColorMode mode = ColorMode::kColor;
  Paper paper;
  uint32_t dpi = 600;
  bool landscape = false;
  bool rotate180 = false;
};

// Fills the session's device mode, GDI information and the "Orientation" and
// "Rotation" settings; the device is enabled afterwards.
void SetUpDevice(RenderSession& session, const DeviceSettings& settings, const PageLayout& layout);

}  // namespace kav::host
