// The printer commands the host asks for by callback id.
#pragma once

#include "platform/oem.h"
#include "render/image_record.h"

namespace kav {

// Writes the bytes of command `callbackId` into the job. Ids without a
// command write nothing; the "Rotation" setting is read for every id all the
// same. Without a helper, a device or its public device mode there is nothing
// to read the command's values from, and nothing is read or written.
void RunCommandCallback(const SpoolTarget& out, DWORD callbackId);

}  // namespace kav
