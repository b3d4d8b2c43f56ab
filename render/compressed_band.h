// 1-bit bands: padded to whole 32-pixel units, inverted, and sent as one
// record, compressed with the row codec when that is no longer than raw.
#pragma once

#include "platform/oem.h"

namespace kav {

HRESULT WriteCompressedBand(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, PBYTE bits, PBITMAPINFOHEADER header,
                            PBYTE colorTable, PIPPARAMS params);

}  // namespace kav
