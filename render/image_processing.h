// Every rendered band the host hands over, written into the job.
#pragma once

#include "platform/oem.h"

namespace kav {

void ProcessBand(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, PBYTE bits, PBITMAPINFOHEADER header,
                 PBYTE colorTable, DWORD callbackId, PIPPARAMS params);

}  // namespace kav
