#include "host/device_setup.h"

namespace kav::host {

void SetUpDevice(RenderSession& session, const DeviceSettings& settings, const PageLayout& layout) {
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
  session.helper().SetSetting("Orientation", settings.landscape ? "LANDSCAPE_CC270" : "PORTRAIT");
  session.helper().SetSetting("Rotation", settings.rotate180 ? "TRUE" : "FALSE");
}

}  // namespace kav::host
