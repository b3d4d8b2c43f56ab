// Gray and colour bands as JPEG records: GDI+ encodes the band into a
// temporary file, which is read back, sent behind the record header and
// deleted. The caller runs this under the spooler's own identity.
#pragma once

#include "platform/oem.h"
#include "render/image_record.h"

namespace kav {

// S_OK when the whole record went into the job; E_FAIL otherwise, and then
// nothing of it is in the job and no temporary file is left.
HRESULT WriteJpegBand(const SpoolTarget& out, PBYTE bits, PBITMAPINFOHEADER header, float originY);

// TRUE when GDI+ wrote the band to `fileName` as a JPEG of quality 83: 8-bit
// bands through a gray palette, 24-bit bands with the first and third byte
// of each pixel exchanged, the order the printer reads. The exchange is made
// in the host's buffer and undone before this returns, whatever the outcome.
BOOL EncodeBandToJpegFile(PBYTE bits, PBITMAPINFOHEADER header, LPCWSTR fileName);

// The index of the first GDI+ encoder whose MIME type equals `mimeType`
// exactly, with its class id copied to `clsid`; -1 when there is none or the
// list cannot be had.
int FindEncoderClsid(const WCHAR* mimeType, CLSID* clsid);

}  // namespace kav
