// The host's band buffer: biHeight rows of equal length, biSizeImage bytes in all.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "render/printer_language.h"

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

// Width and height as the record carries them (colour and JPEG records): the
// record's fields are 16-bit, so a larger band cannot be described and is
// refused whole rather than sent under a cut size.
inline bool FitsRecord(const BITMAPINFOHEADER& header) {
  constexpr auto kMax = static_cast<LONG>(language::kMaxRecordExtent);
  return header.biWidth <= kMax && header.biHeight <= kMax;
}

// A gray record's width is its row length, the band width rounded up to a
// multiple of 4; only meaningful for a positive biWidth.
inline DWORD GrayRecordWidth(const BITMAPINFOHEADER& header) {
  return (static_cast<DWORD>(header.biWidth) + 3) / 4 * 4;
}

// So a gray band may be at most 65532 pixels wide.
inline bool FitsGrayRecord(const BITMAPINFOHEADER& header) {
  return FitsRecord(header) && GrayRecordWidth(header) <= language::kMaxRecordExtent;
}

}  // namespace kav
