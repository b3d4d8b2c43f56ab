// The command-line spellings of what `kavhost print` and the tools that check
// its pages take: the colour mode, the resolution and the sheet.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/printer_description.h"
#include "host/result.h"

namespace kav::tools {

// "mono", "gray" or "color".
Result<host::ColorMode> ParseMode(const std::string& text);
// A whole number of dots per inch from host::kMinDpi to host::kMaxDpi.
Result<uint32_t> ParseDpi(const std::string& text);
// A sheet `description` names, or "WxH" in millimetres with at most one
// decimal; an error tells what is wrong.
Result<host::Paper> PaperOf(const host::PrinterDescription& description, const std::string& text);
// The same by the active description.
Result<host::Paper> ParsePaper(const std::string& text);
// The printer description at `path`, refused with the reason.
Result<std::shared_ptr<const host::PrinterDescription>> ReadDescription(const std::string& path);

}  // namespace kav::tools
