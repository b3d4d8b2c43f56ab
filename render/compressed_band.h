// 1-bit bands: padded to whole 32-pixel units, inverted, and sent as one
// record, compressed with the row codec when that is no longer than raw.
#pragma once

#include <cstdint>

#include "platform/oem.h"
#include "render/image_record.h"
#include "render/printer_language.h"

namespace kav {

// The widest band whose padded width still fits the record's 16-bit width.
inline constexpr LONG kMaxCompressedBandWidth = language::kMaxRecordExtent / 32 * 32;  // 65504
inline constexpr LONG kMaxCompressedBandHeight = language::kMaxRecordExtent;

// Writes the band as one record: S_OK once written (whatever the writes
// answered); E_INVALIDARG for a missing pointer; E_FAIL, with nothing
// written, for a band that is not 1-bit, whose size the record cannot carry
// (width 0 or above 65504, height 0, negative or above 65535), whose buffer
// is too small for its rows, or whose block cannot be had. The colour table
// is not used.
HRESULT WriteCompressedBand(const SpoolTarget& out, PBYTE bits, PBITMAPINFOHEADER header, PBYTE colorTable,
                            PIPPARAMS params);

// Fills `padded` with the host's header as the band is sent (width padded to
// a multiple of 32, size that of the padded rows) and answers a zero-filled
// global block of that size; null for a band refused as above or when the
// block cannot be had.
PBYTE AllocPaddedBand(const BITMAPINFOHEADER& host, BITMAPINFOHEADER& padded);

// Copies the host's rows to the start of the padded rows of the block: at
// most a padded row's length of each, in one piece when the row lengths
// agree. The pixels past the host's width come out 0.
void CopyRowsPadded(const BITMAPINFOHEADER& host, const BITMAPINFOHEADER& padded, const BYTE* bits, PBYTE block);

// Codes the `height` rows of `width` pixels in the block (`*size` bytes) with
// the codec and, when the stream is no longer than the rows, puts it at the
// block's start: S_OK with `*size` its length. E_FAIL leaves the rows for a
// raw record; E_INVALIDARG for a missing size or block or a height of 0.
HRESULT CompressBandInPlace(uint16_t width, uint16_t height, uint32_t* size, PBYTE block);

}  // namespace kav
