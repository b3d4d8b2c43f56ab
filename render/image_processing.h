// Every rendered band the host hands over, written into the job as one image
// record, or dropped when the host marks it blank.
#pragma once

#include "platform/oem.h"

namespace kav {

void ProcessBand(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, PBYTE bits, PBITMAPINFOHEADER header, PBYTE colorTable,
                 DWORD callbackId, PIPPARAMS params);

// Raw 8-bit gray: the short-form header, then the host's whole buffer in one write.
HRESULT WriteGrayBand(PDEVOBJ pdevobj, PBYTE bits, PBITMAPINFOHEADER header, float originY, IPrintOemDriverUni* helper);

// Raw 24-bit colour: the short-form header, then one write per row with the
// host's blue-green-red turned to red-green-blue and the fill bytes left out.
HRESULT WriteColorBand(PDEVOBJ pdevobj, PBYTE bits, PBITMAPINFOHEADER header, float originY,
                       IPrintOemDriverUni* helper);

}  // namespace kav
