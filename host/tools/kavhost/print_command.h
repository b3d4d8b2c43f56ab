// `kavhost print`: one page through the render plug-in, as the host prints it.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "kavhost/printer_description.h"

namespace kav::tools {

struct PrintOptions {
  std::string picture;  // empty: the built-in sample page
  std::string output;
  ColorMode mode = ColorMode::kColor;
  uint32_t dpi = 600;
  Paper paper{"A4", 2100, 2970};
  bool landscape = false;
  bool rotate180 = false;
  uint32_t bandHeight = 128;
  std::optional<std::pair<uint32_t, uint32_t>> osVersion;
  std::string plugin;     // empty: the render library beside the program
  bool progress = false;  // show band progress (stderr is a terminal)
};

// Options after the word "print"; false with `error` for a bad command line.
bool ParsePrintOptions(const std::vector<std::string>& args, PrintOptions& options, std::string& error);

// "6.1" as (6, 1).
std::optional<std::pair<uint32_t, uint32_t>> ParseOsVersion(const std::string& text);

// Prints the page and writes the job; answers an exit code.
int RunPrint(const PrintOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kav::tools
