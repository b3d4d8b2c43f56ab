// Where the rendered page lies on the sheet: the matrix sent after "Aa".
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace kav {

// Six big-endian singles m1 to m6 taking a device pixel (x, y), counted from
// the printable area's top-left corner with y downwards, to the sheet point
// (m1·x + m3·y + m5, m2·x + m4·y + m6), in 1/72 inch from the sheet's
// lower-left corner with y upwards.
struct PagePlacement {
  uint8_t bytes[24];
};
static_assert(sizeof(PagePlacement) == 24);

// The placement for the device mode's resolution and sheet size, the
// printable area's offset in device pixels, and the two settings; the half
// turn (`rotate180`) places the same page turned on the sheet. Sheet sizes of
// zero or below count as zero, and an offset beyond the sheet leaves a zero
// distance, never a wrapped one.
PagePlacement ComputePagePlacement(const DEVMODEW& devmode, DWORD offsetX, DWORD offsetY, bool landscape,
                                   bool rotate180);

}  // namespace kav
