// What a printer of the driver offers, taken from the printer description
// the host prints by: media with their margins, resolutions and colour modes.
#pragma once

#include <pappl/pappl.h>

#include <string>

#include "host/result.h"

namespace kav::app {

// Reads the description at `path` (empty: the one installed beside the
// server), checks that the driver can print by it, and makes it the one the
// host's page functions answer from. Called once, before any printer is made.
Status UseDriverDescription(const std::string& path);

// Fills the media, margins, resolutions and colour modes of `data` from
// the description in use.
void FillDriverData(pappl_pr_driver_data_t* data);

}  // namespace kav::app
