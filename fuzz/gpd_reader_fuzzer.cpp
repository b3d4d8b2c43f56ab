// The printer description reader over arbitrary text: the GPD statements, the
// forms of their values, and what a description read whole answers for a
// page (its sheets' layouts and commands), which must hold whatever the text.
#include <cstdlib>
#include <string_view>

#include "host/printer_description.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kav::Result<kav::host::PrinterDescription> read = kav::host::PrinterDescription::FromText(text, "fuzz.gpd");
  if (!read) {
    Check(read.error().rfind("fuzz.gpd", 0) == 0);
    return 0;
  }
  Check(!read->sheets().empty() && read->masterUnits() > 0);
  Check(read->Settings(read->defaults()).ok());
  for (const kav::host::Sheet& sheet : read->sheets()) {
    const kav::host::Paper paper{sheet.keyword, sheet.widthTenths, sheet.lengthTenths};
    for (const kav::host::ResolutionOption& resolution : read->resolutions()) {
      if (const auto layout = read->Layout(paper, resolution.dpi, false)) {
        Check(layout->surfaceWidth > 0 && layout->surfaceWidth <= 65504 && layout->surfaceHeight > 0);
      }
    }
    kav::host::DeviceSettings settings = read->defaults();
    settings.paper = paper;
    for (kav::host::Section section : kav::host::kSections) {
      if (const auto commands = read->Commands(section, settings)) {
        for (const kav::host::DescribedCommand& command : *commands)
          Check(command.callbackId || command.params.empty());
      }
    }
  }
  return 0;
}
