// `kavhost print`: one page through the render plug-in, as the host prints it.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "host/result.h"
#include "kavhost/print_settings.h"
#include "support/command_line.h"

namespace kav::tools {

struct PrintOptions {
  std::string picture;  // empty: the built-in sample page
  std::string output;
  // The printer description: the file --gpd names, else the packaged one,
  // read when the options are (the sheet names are its own).
  std::shared_ptr<const host::PrinterDescription> description;
  host::ColorMode mode = host::ColorMode::kColor;
  uint32_t dpi = 600;
  host::Paper paper{"A4", 2100, 2970};
  bool landscape = false;
  bool rotate180 = false;
  uint32_t bandHeight = 128;
  std::optional<std::pair<uint32_t, uint32_t>> osVersion;
  std::string plugin;     // empty: the render library beside the program
  bool progress = false;  // show band progress (stderr is a terminal)
};

// The words and options `print` takes, read into `options`.
void DescribePrintOptions(CLI::App& command, PrintOptions& options);

// "6.1" as (6, 1).
std::optional<std::pair<uint32_t, uint32_t>> ParseOsVersion(const std::string& text);

// Prints the page and writes the job.
Status RunPrint(const PrintOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kav::tools
