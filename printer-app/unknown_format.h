// Documents sent as application/octet-stream. PAPPL types them by their
// first bytes, but misses some the printer takes: JPEG without a JFIF or
// Exif header, and PDF or PostScript behind the job header a print driver
// puts before them. Those are typed here; the rest, in none of the formats
// the printer takes, end as aborted jobs with a message saying so.
#pragma once

#include <pappl/pappl.h>

namespace kav::app {

void AddUnknownFormatFilter(pappl_system_t* system);

}  // namespace kav::app
