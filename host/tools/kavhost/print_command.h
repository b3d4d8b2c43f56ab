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
  // read when the options are (the options' values select its options).
  std::string gpd;  // the file --gpd names
  std::shared_ptr<const host::PrinterDescription> description;
  // Each unset one is the description's default.
  std::optional<host::ColorMode> mode;
  std::optional<uint32_t> dpi;
  std::optional<host::Paper> paper;
  std::optional<bool> landscape;
  bool rotate180 = false;  // else the description's default
  uint32_t bandHeight = 128;
  std::optional<std::pair<uint32_t, uint32_t>> osVersion;
  std::string plugin;     // empty: the render library beside the program
  bool progress = false;  // show band progress (stderr is a terminal)
};

// The words and options `print` takes, read into `options`.
void DescribePrintOptions(CLI::App& command, PrintOptions& options);

// "6.1" as (6, 1).
std::optional<std::pair<uint32_t, uint32_t>> ParseOsVersion(const std::string& text);

// What the options select of `description`, its defaults where they are unset.
host::DeviceSettings SettingsOf(const PrintOptions& options, const host::PrinterDescription& description);

// Prints the page and writes the job.
Status RunPrint(const PrintOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kav::tools
