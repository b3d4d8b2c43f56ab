// Stand-ins for the kernel basics: interlocked counters, the thread's
// last-error code and the operating-system version query.
#include <atomic>

#include "failure_plan.h"

namespace {
thread_local DWORD lastError = 0;
std::atomic<DWORD> reportedMajor{6};
std::atomic<DWORD> reportedMinor{1};
std::atomic<bool> versionQueryFails{false};
}  // namespace

extern "C" {

LONG InterlockedIncrement(LONG volatile* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedDecrement(LONG volatile* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }

void SetLastError(DWORD code) { lastError = code; }

DWORD GetLastError() { return lastError; }

BOOL GetVersionExW(LPOSVERSIONINFOW info) {
  if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW) || versionQueryFails) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->dwMajorVersion = reportedMajor;
  info->dwMinorVersion = reportedMinor;
  info->dwBuildNumber = 0;
  info->dwPlatformId = 2;  // the NT family
  info->szCSDVersion[0] = 0;
  return TRUE;
}

}  // extern "C"

namespace kav::standin {

void AddKernelControls(Controls& controls) {
  controls.SetOsVersion = [](DWORD major, DWORD minor) {
    reportedMajor = major;
    reportedMinor = minor;
  };
  controls.FailVersionQuery = [](bool fail) { versionQueryFails = fail; };
}

void ResetKernelStandin() {
  reportedMajor = 6;
  reportedMinor = 1;
  versionQueryFails = false;
}

}  // namespace kav::standin
