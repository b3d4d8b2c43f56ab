// The printer description the host prints with: which command ids it asks
// for around a page, which callback id and band format each colour mode
// uses, the sheet sizes it knows and the printable area.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/result.h"

namespace kav::host {

enum class ColorMode { kMono, kGray, kColor };

struct ModeFormat {
  uint32_t callbackId;  // ImageProcessing callback id
  uint16_t bitCount;    // bits per pixel of the host's bands
  short dmColor;        // DMCOLOR_MONOCHROME (1) or DMCOLOR_COLOR (2)
};

ModeFormat FormatOf(ColorMode mode);
// "mono", "gray" or "color".
const char* ModeName(ColorMode mode);

// The resolutions the description prints at.
inline constexpr uint32_t kMinDpi = 50;
inline constexpr uint32_t kMaxDpi = 4800;

struct Paper {
  std::string name;
  int widthTenths = 0;  // tenths of a millimetre, as dmPaperWidth
  int lengthTenths = 0;
};

// The device mode holds sizes in tenths of a millimetre as 16-bit numbers.
inline constexpr int kMinPaperTenths = 100;
inline constexpr int kMaxPaperTenths = 32767;

// A sheet the description names ("A4", "Letter", ...; any letter case).
std::optional<Paper> NamedPaper(std::string_view name);
// The names NamedPaper knows, as "A3, A4, ..., Legal".
std::string NamedPaperList();

// The command id that sets this sheet size: one of the fixed sizes 323 to 328
// when the sheet is one of them, else 248 (width and length from the device mode).
uint32_t PaperCommandId(const Paper& paper);

// The Ec command that tells the printer the job's colour mode.
inline constexpr uint32_t kColorModeCommand = 204;

// The command ids before the first band of a page and after the last.
std::vector<uint32_t> PageStartCommands(const Paper& paper);
std::vector<uint32_t> PageEndCommands();

// Where the page lies: the sheet in device pixels (as the plug-in counts
// them), the printable-area offset, and the surface the host renders in
// bands (turned for landscape).
struct PageLayout {
  uint32_t sheetWidth = 0;  // pixels across the sheet, portrait
  uint32_t sheetLength = 0;
  uint32_t offsetX = 0;  // GDIINFO.ptlPhysOffset
  uint32_t offsetY = 0;
  uint32_t surfaceWidth = 0;
  uint32_t surfaceHeight = 0;
};

// The printable area keeps a margin of a sixth of an inch on every side.
Result<PageLayout> ComputeLayout(const Paper& paper, uint32_t dpi, bool landscape);

}  // namespace kav::host
