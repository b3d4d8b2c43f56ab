// The SDK's kernel basics (winbase.h, winnt.h, wincon.h) on Linux:
// interlocked counters, the thread's last error, the version query and the
// console. Implemented in the kavplatform library.
#pragma once

#include "platform/export.h"
#include "platform/linux/base_types.h"

typedef struct _OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *POSVERSIONINFOW, *LPOSVERSIONINFOW;

#define STD_ERROR_HANDLE ((DWORD)-12)

extern "C" {
KAV_EXPORT LONG InterlockedIncrement(LONG volatile* value);
KAV_EXPORT LONG InterlockedDecrement(LONG volatile* value);
KAV_EXPORT void SetLastError(DWORD code);
KAV_EXPORT DWORD GetLastError();
KAV_EXPORT BOOL GetVersionExW(LPOSVERSIONINFOW info);
// For tools that show progress only on a terminal.
KAV_EXPORT HANDLE GetStdHandle(DWORD which);
KAV_EXPORT BOOL GetConsoleMode(HANDLE console, LPDWORD mode);
}
