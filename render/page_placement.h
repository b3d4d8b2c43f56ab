// Where the rendered page lies on the sheet: the matrix sent after "Aa".
#pragma once

#include <cstdint>

#include "platform/oem.h"

namespace kav {

// Six big-endian singles m1 to m6 taking a device pixel (x, y), counted from
// the printable area's top-left corner with y downwards, to the sheet point
// (m1·x + m3·y + m5, m2·x + m4·y + m6), in 1/72 inch from the sheet's
// lower-left corner with y upwards.
struct PagePlacement {
  uint8_t bytes[24];
};
static_assert(sizeof(PagePlacement) == 24);

// The resolution assumed when dmPrintQuality holds no dot count (zero, or a
// negative resolution code), so the scale stays finite.
inline constexpr DWORD kFallbackDpi = 600;

// Works the placement out from the device's printable-area offset, the public
// device mode's resolution and sheet size, and the two flags; the half turn
// (`rotate180`) places the same page turned on the sheet. `pdevobj` and its
// public device mode must be present; a device without its record (pdevOEM
// null) counts as having no offset. Sheet sizes of zero or below count as
// zero, and an offset beyond the sheet leaves a zero distance, never a
// wrapped one.
void ComputePagePlacement(PDEVOBJ pdevobj, DWORD landscape, PagePlacement& out, DWORD rotate180);

}  // namespace kav
