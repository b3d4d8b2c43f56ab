// The SDK's module and resource services (libloaderapi.h, winuser.h) on
// Linux: loading a library by path, finding its functions, and reading its
// string-table resource. Implemented in the kavplatform library.
#pragma once

#include "platform/export.h"
#include "platform/linux/base_types.h"

// Resources are named by a number smuggled in a pointer, or by a string.
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define RT_STRING MAKEINTRESOURCEW(6)
typedef BOOL(CALLBACK* ENUMRESNAMEPROCW)(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param);
typedef BOOL(CALLBACK* ENUMRESLANGPROCW)(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR param);

extern "C" {
KAV_EXPORT HMODULE LoadLibraryW(LPCWSTR path);
KAV_EXPORT FARPROC GetProcAddress(HMODULE module, LPCSTR name);
KAV_EXPORT BOOL FreeLibrary(HMODULE module);
KAV_EXPORT DWORD GetModuleFileNameW(HMODULE module, LPWSTR name, DWORD size);
KAV_EXPORT int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int bufferMax);
KAV_EXPORT BOOL EnumResourceNamesW(HMODULE module, LPCWSTR type, ENUMRESNAMEPROCW proc, LONG_PTR param);
KAV_EXPORT BOOL EnumResourceLanguagesW(HMODULE module, LPCWSTR type, LPCWSTR name, ENUMRESLANGPROCW proc,
                                       LONG_PTR param);
}
