// Stand-in for the spooler's change of identity: there is no spooler here, so
// the token is a pseudo-token and both directions are only counted. A change
// can be made to fail, as when the spooler refuses it.
#include "platform/spooler_identity.h"

#include <atomic>

#include "failure_plan.h"

namespace {

int pseudoToken;
kav::standin::ArmedFailure revertFailure;
std::atomic<long> reverts{0};
std::atomic<long> impersonations{0};

}  // namespace

namespace kav::spooler {

HANDLE RevertToPrinterSelf() {
  if (revertFailure.NextCallFails()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  ++reverts;
  return &pseudoToken;
}

BOOL ImpersonatePrinterClient(HANDLE token) {
  if (token != &pseudoToken) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ++impersonations;
  return TRUE;
}

}  // namespace kav::spooler

namespace kav::standin {

void AddIdentityControls(Controls& controls) {
  controls.FailRevertToPrinterSelf = [](FailurePlan plan) { revertFailure.Arm(plan); };
  controls.IdentityReverts = []() -> long { return reverts; };
  controls.IdentityImpersonations = []() -> long { return impersonations; };
}

void ResetIdentityStandin() {
  revertFailure.Arm({});
  reverts = 0;
  impersonations = 0;
}

}  // namespace kav::standin
