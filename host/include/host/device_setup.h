// The device of one page as the printer description sets it up, shared by
// `kavhost print` and the printer application so both send the plug-in the
// same device mode, GDI information, feature settings and commands.
#pragma once

#include <cstdint>

#include "host/printer_description.h"
#include "host/render_session.h"

namespace kav::host {

// Fills the session's device mode, GDI information, the setting of every
// feature of the active description and the parameters of its callbacks;
// the device is enabled afterwards. `layout` is the settings' own, so the
// description takes them.
void SetUpDevice(RenderSession& session, const DeviceSettings& settings, const PageLayout& layout);

// Sends the active description's commands of `section` for `settings`: a
// callback through CommandCallback, a literal command written to the job by
// the host itself, as Unidrv writes it.
Status SendSection(RenderSession& session, Section section, const DeviceSettings& settings);

}  // namespace kav::host
