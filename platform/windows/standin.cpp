// On Windows the real services answer; the stand-in controls do nothing.
#include "platform/standin.h"

namespace kav::standin {

bool Available() { return false; }
void SetOsVersion(DWORD, DWORD) {}
void FailVersionQuery(bool) {}
void FailGlobalAlloc(FailurePlan) {}
void FailHeapAlloc(FailurePlan) {}
long LiveGlobalBlocks() { return 0; }
long LiveHeapBlocks() { return 0; }
void Reset() {}

}  // namespace kav::standin
