// The host's band buffer: biHeight rows of equal length, biSizeImage bytes in all.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace kav {

// Bytes from one row to the next; only meaningful for a positive biHeight.
inline DWORD RowStride(const BITMAPINFOHEADER& header) {
  return header.biSizeImage / static_cast<DWORD>(header.biHeight);
}

// A band whose rows can be read: at least one row and one pixel, and every
// row long enough for its pixels, so no reader goes past the buffer.
inline bool HasReadableRows(const BITMAPINFOHEADER& header, DWORD bytesPerPixel) {
  if (header.biWidth <= 0 || header.biHeight <= 0) return false;
  return RowStride(header) >= static_cast<uint64_t>(header.biWidth) * bytesPerPixel;
}

}  // namespace kav
