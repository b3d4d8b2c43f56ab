// The SDK's memory services (winbase.h, heapapi.h) on Linux: global blocks
// and the process heap. Implemented in the kavplatform library.
#pragma once

#include "platform/export.h"
#include "platform/linux/base_types.h"

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define HEAP_ZERO_MEMORY 0x00000008

extern "C" {
KAV_EXPORT HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
KAV_EXPORT HGLOBAL GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags);
KAV_EXPORT HGLOBAL GlobalFree(HGLOBAL block);
KAV_EXPORT SIZE_T GlobalSize(HGLOBAL block);
KAV_EXPORT HANDLE GetProcessHeap();
KAV_EXPORT LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
KAV_EXPORT BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
}
