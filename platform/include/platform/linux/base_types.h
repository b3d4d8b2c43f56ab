// The SDK's base types (basetsd.h, windef.h, winnt.h) on Linux: the Win64
// sizes, so every structure built of them has one layout on both builds.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef char CHAR;
typedef char16_t WCHAR;
typedef float FLOAT;
typedef int64_t LONG_PTR;
typedef uint64_t ULONG_PTR;
typedef uint64_t DWORD_PTR;
typedef size_t SIZE_T;
typedef ULONG FLONG;
typedef LONG LDECI4;
typedef LONG_PTR LPARAM;
typedef int32_t HRESULT;
typedef void VOID;

typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* PBYTE;
typedef BYTE* LPBYTE;
typedef DWORD* PDWORD;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef CHAR* PSTR;
typedef CHAR* LPSTR;
typedef const CHAR* PCSTR;
typedef const CHAR* LPCSTR;
typedef WCHAR* PWSTR;
typedef WCHAR* LPWSTR;
typedef WCHAR* LPTSTR;
typedef const WCHAR* PCWSTR;
typedef const WCHAR* LPCWSTR;

typedef void* HANDLE;
typedef HANDLE HMODULE;
typedef HANDLE HINSTANCE;
typedef HANDLE HGLOBAL;
typedef HANDLE HPALETTE;
typedef HANDLE HSURF;
typedef HANDLE HWND;
typedef HANDLE HDEV;
typedef long long (*FARPROC)();

#define TRUE 1
#define FALSE 0
#define WINAPI
#define APIENTRY
#define CALLBACK
#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT

#define MAX_PATH 260
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
