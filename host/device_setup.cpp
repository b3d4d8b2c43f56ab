#include "host/device_setup.h"

namespace kav::host {

void SetUpDevice(RenderSession& session, const DeviceSettings& settings, const PageLayout& layout) {
  const PrinterDescription& description = ActivePrinterDescription();
  DEVMODEW& devmode = session.devmode();
  devmode.dmColor = FormatOf(settings.mode).dmColor;
  devmode.dmPaperWidth = static_cast<short>(settings.paper.widthTenths);
  devmode.dmPaperLength = static_cast<short>(settings.paper.lengthTenths);
  devmode.dmPrintQuality = static_cast<short>(settings.dpi);
  devmode.dmYResolution = static_cast<short>(settings.dpi);
  GDIINFO& gdi = session.gdiInfo();
  gdi.ulLogPixelsX = settings.dpi;
  gdi.ulLogPixelsY = settings.dpi;
  gdi.ulHorzRes = layout.surfaceWidth;
  gdi.ulVertRes = layout.surfaceHeight;
  gdi.ptlPhysOffset = {static_cast<LONG>(layout.offsetX), static_cast<LONG>(layout.offsetY)};
  gdi.szlPhysSize = {static_cast<LONG>(layout.sheetWidth), static_cast<LONG>(layout.sheetLength)};
  if (const auto answers = description.Settings(settings)) {
    for (const auto& [feature, option] : *answers) session.helper().SetSetting(feature, option);
  }
  const Result<Sheet> sheet = description.SheetOf(settings.paper);
  std::map<DWORD, std::vector<DWORD>> params;
  for (Section section : kSections) {
    const auto commands = description.Commands(section, settings);
    if (!sheet || !commands) break;
    for (const DescribedCommand& command : *commands) {
      if (!command.callbackId) continue;
      const std::vector<uint32_t> values = PrinterDescription::ParamValues(command, *sheet);
      params[*command.callbackId] = std::vector<DWORD>(values.begin(), values.end());
    }
  }
  session.SetCommandParams(std::move(params));
}

Status SendSection(RenderSession& session, Section section, const DeviceSettings& settings) {
  const auto commands = ActivePrinterDescription().Commands(section, settings);
  if (!commands) return commands.failure();
  for (const DescribedCommand& command : *commands) {
    if (command.callbackId) {
      session.Command(*command.callbackId);
      continue;
    }
    DWORD written = 0;
    std::string bytes = command.bytes;
    session.helper().DrvWriteSpoolBuf(&session.devobj(), bytes.data(), static_cast<DWORD>(bytes.size()), &written);
  }
  return {};
}

}  // namespace kav::host
