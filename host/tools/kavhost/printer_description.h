// The small printer description that kavhost prints with: which command ids
// it asks for around a page, which callback id and band format each colour
// mode uses, the sheet sizes it knows and the printable area. This is the
// tool's own choice standing in for the printer description data of a real
// installation, not the printer's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/result.h"

namespace kav::tools {

enum class ColorMode { kMono, kGray, kColor };

struct ModeFormat {
  uint32_t callbackId;  // ImageProcessing callback id
  uint16_t bitCount;    // bits per pixel of the host's bands
  short dmColor;        // DMCOLOR_MONOCHROME (1) or DMCOLOR_COLOR (2)
};

ModeFormat FormatOf(ColorMode mode);
const char* ModeName(ColorMode mode);
// "mono", "gray" or "color".
Result<ColorMode> ParseMode(const std::string& text);

// The resolutions the description prints at.
inline constexpr uint32_t kMinDpi = 50;
inline constexpr uint32_t kMaxDpi = 4800;
// A whole number of dots per inch from kMinDpi to kMaxDpi.
Result<uint32_t> ParseDpi(const std::string& text);

struct Paper {
  std::string name;
  int widthTenths = 0;  // tenths of a millimetre, as dmPaperWidth
  int lengthTenths = 0;
};

// "A4", "Letter", ... (any letter case) or "WxH" in millimetres with at most
// one decimal; an error tells what is wrong.
Result<Paper> ParsePaper(const std::string& text);

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

}  // namespace kav::tools
