// The command-line spellings of what `kavhost print` and the tools that check
// its pages take: the options of a printer description they select, its
// colour mode, resolution and sheet.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/printer_description.h"
#include "host/result.h"

namespace kav::tools {

// A colour mode option of `description`, by its keyword in any letter case.
Result<host::ColorMode> ModeOf(const host::PrinterDescription& description, const std::string& text);
// A resolution option of `description`, by its dots per inch.
Result<uint32_t> DpiOf(const host::PrinterDescription& description, const std::string& text);
// A sheet `description` names (any letter case), or "WxH" in millimetres
// with at most one decimal, a sheet of that size or one of its custom sizes;
// an error tells what is wrong and what the description has.
Result<host::Paper> PaperOf(const host::PrinterDescription& description, const std::string& text);
// The same by the active description.
Result<host::ColorMode> ParseMode(const std::string& text);
Result<uint32_t> ParseDpi(const std::string& text);
Result<host::Paper> ParsePaper(const std::string& text);
// The printer description at `path`, refused with the reason.
Result<std::shared_ptr<const host::PrinterDescription>> ReadDescription(const std::string& path);

}  // namespace kav::tools
