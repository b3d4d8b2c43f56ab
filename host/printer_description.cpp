#include "host/printer_description.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "render/printer_language.h"

namespace kav::host {
namespace {

struct KnownPaper {
  const char* name;
  int widthTenths;
  int lengthTenths;
};

// ISO A sizes, Japanese B sizes, and the two North American sizes.
constexpr KnownPaper kNamedPapers[] = {
    {"A3", 2970, 4200}, {"A4", 2100, 2970},     {"A5", 1480, 2100},    {"B4", 2570, 3640},
    {"B5", 1820, 2570}, {"Letter", 2159, 2794}, {"Legal", 2159, 3556},
};

// The widest surface whose bands still fit the records' 16-bit width once
// padded to whole 32-pixel units.
constexpr uint32_t kMaxSurfaceWidth = 65504;

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

ModeFormat FormatOf(ColorMode mode) {
  switch (mode) {
    case ColorMode::kMono:
      return {3, 1, 1};
    case ColorMode::kGray:
      return {1, 8, 1};
    case ColorMode::kColor:
      return {2, 24, 2};
  }
  return {3, 1, 1};
}

const char* ModeName(ColorMode mode) {
  switch (mode) {
    case ColorMode::kMono:
      return "mono";
    case ColorMode::kGray:
      return "gray";
    case ColorMode::kColor:
      return "color";
  }
  return "?";
}

std::optional<Paper> NamedPaper(std::string_view name) {
  for (const KnownPaper& known : kNamedPapers) {
    if (SameName(name, known.name)) return Paper{known.name, known.widthTenths, known.lengthTenths};
  }
  return {};
}

std::string NamedPaperList() {
  std::string list;
  for (const KnownPaper& known : kNamedPapers) list += (list.empty() ? "" : ", ") + std::string(known.name);
  return list;
}

uint32_t PaperCommandId(const Paper& paper) {
  for (const language::SingleCommand& command : language::kSingleCommands) {
    if (command.code != language::kSheetSizeCode || command.widthMm == 0.0f) continue;
    if (std::lround(command.widthMm * 10) == paper.widthTenths &&
        std::lround(command.lengthMm * 10) == paper.lengthTenths) {
      return command.id;
    }
  }
  return language::kCustomSheetId;
}

std::vector<uint32_t> PageStartCommands(const Paper& paper) {
  return {language::kPageStartId, kColorModeCommand, PaperCommandId(paper), language::kPagePlacementId};
}

std::vector<uint32_t> PageEndCommands() { return {language::kPageEndId}; }

Result<PageLayout> ComputeLayout(const Paper& paper, uint32_t dpi, bool landscape) {
  PageLayout layout;
  // The plug-in's own count of sheet pixels (truncated, with a small bias).
  layout.sheetWidth = static_cast<uint32_t>(language::SheetPixels(static_cast<uint32_t>(paper.widthTenths), dpi));
  layout.sheetLength = static_cast<uint32_t>(language::SheetPixels(static_cast<uint32_t>(paper.lengthTenths), dpi));
  const uint32_t margin = dpi / 6;
  layout.offsetX = margin;
  layout.offsetY = margin;
  const uint32_t across = landscape ? layout.sheetLength : layout.sheetWidth;
  const uint32_t down = landscape ? layout.sheetWidth : layout.sheetLength;
  if (across <= 2 * margin || down <= 2 * margin) {
    return Error{"paper " + paper.name + " leaves no printable area inside its margins"};
  }
  layout.surfaceWidth = across - 2 * margin;
  layout.surfaceHeight = down - 2 * margin;
  if (layout.surfaceWidth > kMaxSurfaceWidth) {
    return Error{"the printable area is " + std::to_string(layout.surfaceWidth) +
                 " pixels wide; image records hold at most " + std::to_string(kMaxSurfaceWidth) + " (lower --dpi)"};
  }
  return layout;
}

}  // namespace kav::host
