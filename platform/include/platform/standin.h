// Controls of the platform stand-ins, for the host stand-in and the tests:
// the operating-system version reported, injected failures, and counts of
// what is still held. On Windows the real services answer and these controls
// do nothing; Available() tells which build this is.
#pragma once

#include "platform/win32.h"

#if defined(_WIN32)
#define KAV_STANDIN_API
#else
#define KAV_STANDIN_API __attribute__((visibility("default")))
#endif

namespace kav::standin {

// A failure plan: the nth following call fails (1 is the next call); with
// `sticky`, that call and every later one fail. Zero disarms.
struct FailurePlan {
  unsigned nth = 0;
  bool sticky = false;
};

KAV_STANDIN_API bool Available();

KAV_STANDIN_API void SetOsVersion(DWORD major, DWORD minor);
KAV_STANDIN_API void FailVersionQuery(bool fail);

KAV_STANDIN_API void FailGlobalAlloc(FailurePlan plan);
KAV_STANDIN_API void FailHeapAlloc(FailurePlan plan);
KAV_STANDIN_API long LiveGlobalBlocks();
KAV_STANDIN_API long LiveHeapBlocks();

// Puts every control back to its start: version 6.1, no failures armed.
KAV_STANDIN_API void Reset();

}  // namespace kav::standin
