// JPEG and PNG documents. A picture that PAPPL would print unscaled (see
// image_placement.h) goes to the driver row by row as decoded; any other is
// placed by PAPPL's own papplJobFilterImage, as PAPPL's filters do. The
// picture is decoded to the sheet's own channels (gray or red-green-blue),
// and a picture beyond the server's image limits is refused before it is
// decoded, with a message that gives the limits.
#pragma once

#include <pappl/pappl.h>

namespace kav::app {

// Registers the filters ahead of PAPPL's own for image/jpeg and image/png.
void AddPictureFilters(pappl_system_t* system);

}  // namespace kav::app
