#include "render/page_placement.h"

#include <array>
#include <bit>

#include "render/printer_language.h"

namespace kav {
namespace {

// A sheet extent of the device mode in whole device pixels; none for a size
// of zero or below.
DWORD SheetPixels(short tenthsMm, DWORD dpi) {
  if (tenthsMm <= 0) return 0;
  return static_cast<DWORD>(language::SheetPixels(static_cast<uint64_t>(tenthsMm), dpi));
}

// What is left of `extent` beyond `offset`, zero rather than wrapped.
DWORD Remaining(DWORD extent, DWORD offset) { return extent > offset ? extent - offset : 0; }

// A pixel count in points, worked in double precision and rounded once.
float PixelsToPoints(DWORD pixels, DWORD dpi) {
  return static_cast<float>(static_cast<double>(pixels) / static_cast<double>(dpi) * 72.0);
}

void StoreFloatBE(uint8_t* at, float value) {
  const auto bits = std::bit_cast<uint32_t>(value);
  at[0] = static_cast<uint8_t>(bits >> 24);
  at[1] = static_cast<uint8_t>(bits >> 16);
  at[2] = static_cast<uint8_t>(bits >> 8);
  at[3] = static_cast<uint8_t>(bits);
}

}  // namespace

PagePlacement ComputePagePlacement(const DEVMODEW& devmode, DWORD offsetX, DWORD offsetY, bool landscape,
                                   bool rotate180) {
  const DWORD dpi = devmode.dmPrintQuality > 0 ? static_cast<DWORD>(devmode.dmPrintQuality) : language::kFallbackDpi;
  const DWORD sheetWidth = SheetPixels(devmode.dmPaperWidth, dpi);
  const DWORD sheetLength = SheetPixels(devmode.dmPaperLength, dpi);

  const float s = language::PlacementScale(dpi);
  const float n = -s;
  auto t = [dpi](DWORD pixels) { return PixelsToPoints(pixels, dpi); };

  std::array<float, 6> m;
  if (!landscape && !rotate180) {
    m = {s, 0.0f, 0.0f, n, t(offsetX), t(Remaining(sheetLength, offsetY))};
  } else if (landscape && !rotate180) {
    m = {0.0f, s, s, 0.0f, t(offsetY), t(offsetX)};
  } else if (landscape) {
    m = {0.0f, n, n, 0.0f, t(Remaining(sheetWidth, offsetY)), t(Remaining(sheetLength, offsetX))};
  } else {
    m = {n, 0.0f, 0.0f, s, t(Remaining(sheetWidth, offsetX)), t(offsetY)};
  }
  PagePlacement out;
  for (size_t i = 0; i < m.size(); ++i) StoreFloatBE(out.bytes + 4 * i, m[i]);
  return out;
}

}  // namespace kav
