#include "failure_plan.h"

namespace kav::standin {

void Reset() {
  SetOsVersion(6, 1);
  FailVersionQuery(false);
  FailGlobalAlloc({});
  FailHeapAlloc({});
  ResetGdiplusStandin();
  ResetFileStandins();
  ResetIdentityStandin();
}

}  // namespace kav::standin
