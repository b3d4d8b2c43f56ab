// PDF and PostScript documents: Ghostscript turns them into raster pages
// of the job's sheet, resolution and colour mode, which the driver prints as
// Ghostscript makes them.
#pragma once

#include <pappl/pappl.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "host/result.h"

namespace kav::app {

// What one PDF or PostScript document may cost. Beyond a bound the job ends
// aborted with a message that gives it.
struct DocumentLimits {
  std::chrono::seconds renderTime{300};            // each run of Ghostscript, start to end
  uint64_t renderMemoryBytes = uint64_t{1} << 30;  // Ghostscript's address space
  uint32_t pages = 10000;                          // pages of one copy
};

// The limits the server options give (`render-time-limit` in seconds,
// `render-memory-limit` in MiB, `page-limit` in pages), the defaults where
// none is given; an option out of its range is refused.
Result<DocumentLimits> DocumentLimitsFrom(int numOptions, cups_option_t* options);

// Registers the filter for application/pdf and application/postscript.
// Each document gets a folder of its own inside `spoolFolder`.
void AddPdfFilter(pappl_system_t* system, const std::string& spoolFolder, const DocumentLimits& limits);

}  // namespace kav::app
