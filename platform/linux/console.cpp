// Stand-ins for the console queries: a standard handle is its file
// descriptor, and it is a console when it is a terminal.
#include <unistd.h>

#include <cstdint>

#include "platform/win32.h"

extern "C" {

HANDLE GetStdHandle(DWORD which) {
  const int descriptor = which == STD_ERROR_HANDLE ? 2 : -1;
  if (descriptor < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
  }
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(descriptor));
}

BOOL GetConsoleMode(HANDLE console, LPDWORD mode) {
  const auto descriptor = static_cast<int>(reinterpret_cast<intptr_t>(console));
  if (descriptor < 0 || mode == nullptr || isatty(descriptor) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *mode = 0;
  return TRUE;
}

}  // extern "C"
