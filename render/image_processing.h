// Every rendered band the host hands over, written into the job as one image
// record, or dropped when the host marks it blank.
#pragma once

#include "platform/oem.h"
#include "render/image_record.h"

namespace kav {

void ProcessBand(const SpoolTarget& out, PBYTE bits, PBITMAPINFOHEADER header, PBYTE colorTable, DWORD callbackId,
                 PIPPARAMS params);

// Raw 8-bit gray: the short-form header, then the host's whole buffer in one write.
HRESULT WriteGrayBand(const SpoolTarget& out, PBYTE bits, PBITMAPINFOHEADER header, float originY);

// Raw 24-bit colour: the short-form header, then one write per row with the
// host's blue-green-red turned to red-green-blue and the fill bytes left out.
HRESULT WriteColorBand(const SpoolTarget& out, PBYTE bits, PBITMAPINFOHEADER header, float originY);

}  // namespace kav
