// JPEG documents. A picture that PAPPL would print unscaled (see
// image_placement.h) goes to the driver row by row as decoded; any other is
// placed by PAPPL's own papplJobFilterImage, as PAPPL's JPEG filter does.
// Pictures beyond the server's image limits are refused before they are
// decoded, with a message that gives the limits.
#pragma once

#include <pappl/pappl.h>

namespace kav::app {

// Registers the filter ahead of PAPPL's own for image/jpeg.
void AddJpegFilter(pappl_system_t* system);

}  // namespace kav::app
