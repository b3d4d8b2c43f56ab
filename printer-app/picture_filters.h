// JPEG and PNG documents. A picture that PAPPL would print unscaled (see
// image_placement.h) goes to the driver row by row as it is decoded; any
// other is decoded whole and placed by PAPPL's own papplJobFilterImage, as
// PAPPL's filters do. The picture is decoded to the sheet's own channels
// (gray or red-green-blue). A picture beyond the server's image limits, or
// one that would take more memory than the largest sheet the printer takes
// needs, is refused before it is decoded, with a message that gives the
// bound.
#pragma once

#include <pappl/pappl.h>

namespace kav::app {

// Registers the filters ahead of PAPPL's own for image/jpeg and image/png.
void AddPictureFilters(pappl_system_t* system);

}  // namespace kav::app
