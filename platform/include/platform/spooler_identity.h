// The spooler's change of identity: work that must run as the spooler itself
// (its temporary files) is framed by these two calls. Outside a spooler there
// is no identity to change to; a pseudo-token stands in, and the work runs
// under the caller's own identity.
#pragma once

#include "platform/win32.h"

namespace kav::spooler {

// Leaves the print client's identity for the spooler's own; the token to
// return with, or null when the change failed (the caller keeps its identity).
KAV_EXPORT HANDLE RevertToPrinterSelf();

// Returns to the print client's identity that `token` holds.
KAV_EXPORT BOOL ImpersonatePrinterClient(HANDLE token);

}  // namespace kav::spooler
