#include "kavhost/printer_description.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "render/printer_language.h"
#include "support/command_line.h"
#include "support/shown_text.h"

namespace kav::tools {
namespace {

struct NamedPaper {
  const char* name;
  int widthTenths;
  int lengthTenths;
};

// ISO A sizes, Japanese B sizes, and the two North American sizes.
constexpr NamedPaper kNamedPapers[] = {
    {"A3", 2970, 4200}, {"A4", 2100, 2970},     {"A5", 1480, 2100},    {"B4", 2570, 3640},
    {"B5", 1820, 2570}, {"Letter", 2159, 2794}, {"Legal", 2159, 3556},
};

// The device mode holds sizes in tenths of a millimetre as 16-bit numbers.
constexpr int kMinPaperTenths = 100;
constexpr int kMaxPaperTenths = 32767;
// The widest surface whose bands still fit the records' 16-bit width once
// padded to whole 32-pixel units.
constexpr uint32_t kMaxSurfaceWidth = 65504;

bool SameName(const std::string& a, const char* b) {
  const std::string_view other(b);
  return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Millimetres with at most one decimal, as tenths.
std::optional<int> ParseTenths(std::string_view text) {
  const size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (whole.empty() || whole.size() > 5 || (dot != std::string_view::npos && fraction.size() != 1)) return {};
  int value = 0;
  const auto parsed = std::from_chars(whole.data(), whole.data() + whole.size(), value);
  if (parsed.ec != std::errc() || parsed.ptr != whole.data() + whole.size()) return {};
  value *= 10;
  if (!fraction.empty()) {
    if (fraction[0] < '0' || fraction[0] > '9') return {};
    value += fraction[0] - '0';
  }
  return value;
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

Result<ColorMode> ParseMode(const std::string& text) {
  for (ColorMode mode : {ColorMode::kMono, ColorMode::kGray, ColorMode::kColor}) {
    if (text == ModeName(mode)) return mode;
  }
  return Error{"--mode must be mono, gray or color"};
}

Result<uint32_t> ParseDpi(const std::string& text) {
  if (const auto dpi = ParseWholeNumber(text, kMinDpi, kMaxDpi)) return static_cast<uint32_t>(*dpi);
  return Error{"--dpi must be a whole number from " + std::to_string(kMinDpi) + " to " + std::to_string(kMaxDpi)};
}

Result<Paper> ParsePaper(const std::string& text) {
  for (const NamedPaper& named : kNamedPapers) {
    if (SameName(text, named.name)) return Paper{named.name, named.widthTenths, named.lengthTenths};
  }
  const size_t by = text.find_first_of("xX");
  std::optional<int> width;
  std::optional<int> length;
  if (by != std::string::npos) {
    width = ParseTenths(std::string_view(text).substr(0, by));
    length = ParseTenths(std::string_view(text).substr(by + 1));
  }
  if (!width || !length) {
    return Error{"unknown paper " + ShownText(text) + ": give A3, A4, A5, B4, B5, Letter, Legal or WxH in millimetres"};
  }
  if (*width < kMinPaperTenths || *length < kMinPaperTenths || *width > kMaxPaperTenths || *length > kMaxPaperTenths) {
    return Error{"paper " + ShownText(text) + " outside 10 to 3276.7 millimetres"};
  }
  return Paper{text, *width, *length};
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

}  // namespace kav::tools
