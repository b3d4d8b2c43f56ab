#include "kavhost/print_settings.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "support/command_line.h"
#include "support/shown_text.h"

namespace kav::tools {
namespace {

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

Result<host::ColorMode> ModeOf(const host::PrinterDescription& description, const std::string& text) {
  if (const host::ColorModeOption* mode = description.ColorModeNamed(text)) return mode->kind;
  return Error{"--mode must be a colour mode of the printer description: " + description.ColorModeList()};
}

Result<uint32_t> DpiOf(const host::PrinterDescription& description, const std::string& text) {
  for (const host::ResolutionOption& resolution : description.resolutions()) {
    if (text == std::to_string(resolution.dpi)) return resolution.dpi;
  }
  return Error{"--dpi must be a resolution of the printer description: " + description.ResolutionList()};
}

Result<host::Paper> PaperOf(const host::PrinterDescription& description, const std::string& text) {
  if (auto named = description.NamedPaper(text)) return std::move(*named);
  const auto& custom = description.customSize();
  const size_t by = text.find_first_of("xX");
  std::optional<int> width;
  std::optional<int> length;
  if (by != std::string::npos) {
    width = ParseTenths(std::string_view(text).substr(0, by));
    length = ParseTenths(std::string_view(text).substr(by + 1));
  }
  if (!width || !length) {
    return Error{"unknown paper " + ShownText(text) + ": give " + description.NamedPaperList() +
                 (custom ? " or WxH in millimetres, " + custom->RangeText() : "")};
  }
  const host::Paper paper{text, *width, *length};
  if (const Result<host::Sheet> sheet = description.SheetOf(paper); !sheet) return sheet.failure();
  return paper;
}

Result<host::ColorMode> ParseMode(const std::string& text) { return ModeOf(host::ActivePrinterDescription(), text); }

Result<uint32_t> ParseDpi(const std::string& text) { return DpiOf(host::ActivePrinterDescription(), text); }

Result<host::Paper> ParsePaper(const std::string& text) { return PaperOf(host::ActivePrinterDescription(), text); }

Result<std::shared_ptr<const host::PrinterDescription>> ReadDescription(const std::string& path) {
  Result<host::PrinterDescription> read = host::PrinterDescription::Read(path);
  if (!read) return read.failure();
  return std::make_shared<const host::PrinterDescription>(std::move(read).value());
}

}  // namespace kav::tools
