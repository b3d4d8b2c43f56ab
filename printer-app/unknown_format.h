// Documents PAPPL cannot identify: sent as application/octet-stream, and
// none of the formats the printer takes. They end as aborted jobs with a
// message saying so.
#pragma once

#include <pappl/pappl.h>

namespace kav::app {

void AddUnknownFormatFilter(pappl_system_t* system);

}  // namespace kav::app
