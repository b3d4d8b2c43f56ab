#include "host/job_walk.h"

#include <string>

namespace kav::host {
namespace {

// A device set up for `a` serves a page of `b` as it is.
bool SameDevice(const DeviceSettings& a, const DeviceSettings& b) {
  return a.mode == b.mode && a.dpi == b.dpi && a.paper.name == b.paper.name &&
         a.paper.widthTenths == b.paper.widthTenths && a.paper.lengthTenths == b.paper.lengthTenths &&
         a.landscape == b.landscape && a.rotate180 == b.rotate180;
}

}  // namespace

JobWalk::JobWalk(const PrinterDescription& description, RenderSession& session)
    : description_(description), session_(session) {}

// The device mode, GDI information and feature settings Unidrv gives the
// plug-in for the selected options.
void JobWalk::SetUpDevice(const DeviceSettings& settings, const PageLayout& layout,
                          const std::vector<std::pair<std::string, std::string>>& options) {
  DEVMODEW& devmode = session_.devmode();
  devmode.dmColor = description_.ColorModeOf(settings.mode)->Format().dmColor;
  devmode.dmPaperWidth = static_cast<short>(settings.paper.widthTenths);
  devmode.dmPaperLength = static_cast<short>(settings.paper.lengthTenths);
  devmode.dmPrintQuality = static_cast<short>(settings.dpi);
  devmode.dmYResolution = static_cast<short>(settings.dpi);
  GDIINFO& gdi = session_.gdiInfo();
  gdi.ulLogPixelsX = settings.dpi;
  gdi.ulLogPixelsY = settings.dpi;
  gdi.ulHorzRes = layout.surfaceWidth;
  gdi.ulVertRes = layout.surfaceHeight;
  gdi.ptlPhysOffset = {static_cast<LONG>(layout.offsetX), static_cast<LONG>(layout.offsetY)};
  gdi.szlPhysSize = {static_cast<LONG>(layout.sheetWidth), static_cast<LONG>(layout.sheetLength)};
  for (const auto& [feature, option] : options) session_.helper().SetSetting(feature, option);
}

Result<PageFormat> JobWalk::StartPage(const DeviceSettings& settings) {
  const Result<std::vector<std::pair<std::string, std::string>>> options = description_.Settings(settings);
  if (!options) return options.failure();
  const Result<PageLayout> layout = description_.Layout(settings.paper, settings.dpi, settings.landscape);
  if (!layout) return layout.failure();
  if (!device_ || !SameDevice(*device_, settings)) {
    device_.reset();
    session_.DisableDevice();
    SetUpDevice(settings, *layout, *options);
    if (FAILED(session_.EnableDevice()))
      return Error{"the render plug-in could not enable the device (EnablePDEV failed)"};
    device_ = settings;
  }
  if (!documentStarted_) {
    documentStarted_ = true;
    for (Section section : {Section::kJobSetup, Section::kDocSetup}) {
      if (const Status sent = Send(section); !sent) return sent.failure();
    }
  }
  if (const Status sent = Send(Section::kPageSetup); !sent) return sent.failure();
  const ColorModeOption& mode = *description_.ColorModeOf(settings.mode);
  callbackId_ = mode.callbackId;
  return PageFormat{*layout, mode.kind, mode.Format()};
}

BandResult JobWalk::Band(HostBand& band, uint32_t top) {
  IPPARAMS params{};
  params.dwSize = sizeof(IPPARAMS);
  params.ptOffset = {0, static_cast<LONG>(top)};
  params.bBanding = TRUE;
  params.bBlankBand = band.blank ? TRUE : FALSE;
  return session_.Band(callbackId_, band.header, band.bits.data(), params);
}

Status JobWalk::EndPage() {
  if (!device_) return Error{"no page was started"};
  return Send(Section::kPageFinish);
}

Status JobWalk::EndJob() {
  Status ended;
  if (documentStarted_ && device_) {
    for (Section section : {Section::kDocFinish, Section::kJobFinish}) {
      if (ended) ended = Send(section);
    }
  }
  device_.reset();
  session_.DisableDevice();
  return ended;
}

// A callback goes to CommandCallback with its *Params values; a literal
// command is written to the job by the host itself, as Unidrv writes it.
Status JobWalk::Send(Section section) {
  const Result<std::vector<DescribedCommand>> commands = description_.Commands(section, *device_);
  if (!commands) return commands.failure();
  const Result<Sheet> sheet = description_.SheetOf(device_->paper);
  if (!sheet) return sheet.failure();
  for (const DescribedCommand& command : *commands) {
    if (command.callbackId) {
      const std::vector<uint32_t> values = PrinterDescription::ParamValues(command, *sheet);
      if (FAILED(session_.Command(*command.callbackId, nullptr, std::vector<DWORD>(values.begin(), values.end())))) {
        return Error{"the render plug-in refused command " + std::to_string(*command.callbackId)};
      }
      continue;
    }
    std::string bytes = command.bytes;
    DWORD written = 0;
    if (FAILED(session_.helper().DrvWriteSpoolBuf(&session_.devobj(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                                  &written))) {
      return Error{"the host could not spool a command of the printer description"};
    }
  }
  return {};
}

}  // namespace kav::host
