#include "platform/standin.h"

namespace kav::standin {

void Reset() {
  SetOsVersion(6, 1);
  FailVersionQuery(false);
  FailGlobalAlloc({});
  FailHeapAlloc({});
}

}  // namespace kav::standin
