// PDF and PostScript documents: Ghostscript turns them into PWG raster pages
// of the job's sheet, resolution and colour mode, which the driver prints.
#pragma once

#include <pappl/pappl.h>

namespace kav::app {

// Registers the filter for application/pdf and application/postscript.
void AddPdfFilter(pappl_system_t* system);

}  // namespace kav::app
