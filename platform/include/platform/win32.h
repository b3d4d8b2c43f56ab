// The Windows services the product calls, under their Windows names.
// On Windows these are the SDK's own declarations; on Linux they are our
// stand-ins with the Win64 sizes, so every structure has one layout on both.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// The SDK headers build on each other in this order.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <winspool.h>
#include <compstui.h>
#include <winddi.h>
// clang-format on
#define KAV_WIDE(s) L##s
#else
// The same declarations, split as the SDK headers above split them.
#include "platform/linux/base_types.h"
#include "platform/linux/com.h"
#include "platform/linux/ddi.h"
#include "platform/linux/errors.h"
#include "platform/linux/files.h"
#include "platform/linux/gdi.h"
#include "platform/linux/kernel.h"
#include "platform/linux/memory.h"
#include "platform/linux/modules.h"
#include "platform/linux/property_sheet.h"
#define KAV_WIDE(s) u##s
#endif
#include "platform/export.h"

// Layouts the printer host and the tools depend on, the same on both builds.
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(ULONG) == 4);
static_assert(sizeof(WCHAR) == 2 && sizeof(void*) == 8);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(OSVERSIONINFOW) == 276);
static_assert(sizeof(DEVMODEW) == 220);
static_assert(sizeof(GDIINFO) == 320 && offsetof(GDIINFO, ptlPhysOffset) == 88);
static_assert(sizeof(DEVINFO) == 312);
static_assert(sizeof(OPTITEM) == 88 && sizeof(OPTTYPE) == 48 && sizeof(OPTPARAM) == 48);
static_assert(sizeof(GUID) == 16);
