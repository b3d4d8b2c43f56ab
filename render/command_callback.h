// The printer commands the host asks for by callback id.
#pragma once

#include "platform/oem.h"

namespace kav {

// Writes the bytes of command `callbackId` into the job.
void RunCommandCallback(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, DWORD callbackId);

}  // namespace kav
