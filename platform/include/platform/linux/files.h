// The SDK's file services (fileapi.h, handleapi.h, processenv.h) on Linux:
// the temporary folder and names, whole-file reads and deletes, and the
// environment. Implemented in the kavplatform library.
#pragma once

#include "platform/export.h"
#include "platform/linux/base_types.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
typedef void* LPSECURITY_ATTRIBUTES;
typedef void* LPOVERLAPPED;

extern "C" {
KAV_EXPORT BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value);
KAV_EXPORT DWORD GetTempPathW(DWORD size, LPWSTR buffer);
KAV_EXPORT UINT GetTempFileNameW(LPCWSTR path, LPCWSTR prefix, UINT unique, LPWSTR name);
KAV_EXPORT HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile);
KAV_EXPORT DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
KAV_EXPORT BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
KAV_EXPORT BOOL CloseHandle(HANDLE handle);
KAV_EXPORT BOOL DeleteFileW(LPCWSTR name);
}
