#include "render/image_processing.h"

#include <cstdint>

#include "platform/spooler_identity.h"
#include "render/band_rows.h"
#include "render/compressed_band.h"
#include "render/image_record.h"
#include "render/jpeg_band.h"
#include "render/pixel_order.h"
#include "render/render_plugin.h"

namespace kav {
namespace {

constexpr DWORD kGrayCallback = 1;
constexpr DWORD kColorCallback = 2;
constexpr DWORD kMonochromeCallback = 3;

// Tries the band as a JPEG record under the spooler's own identity; answers
// true when the record went out. A failed attempt turns JPEG off for the
// device; a refused change of identity only skips this band's attempt.
bool TryJpegBand(const SpoolTarget& out, RenderPdev& pdev, PBYTE bits, PBITMAPINFOHEADER header, float originY) {
  const HANDLE token = spooler::RevertToPrinterSelf();
  if (token == nullptr) return false;
  const HRESULT hr = WriteJpegBand(out, bits, header, originY);
  if (FAILED(hr)) pdev.tryJpeg = 0;
  spooler::ImpersonatePrinterClient(token);
  return SUCCEEDED(hr);
}

// A row of white past the host's shorter rows: a gray row is never more
// than three bytes longer than its pixels.
constexpr BYTE kWhiteFill[3] = {0xFF, 0xFF, 0xFF};

// The host's rows one by one, each cut or filled with white to `rowLength`.
void SpoolGrayRows(const SpoolTarget& out, const BYTE* bits, DWORD rows, DWORD stride, DWORD rowLength) {
  const DWORD taken = stride < rowLength ? stride : rowLength;
  for (DWORD y = 0; y < rows; ++y, bits += stride) {
    SpoolBytes(out, bits, taken);
    if (taken < rowLength) SpoolBytes(out, kWhiteFill, rowLength - taken);
  }
}

}  // namespace

HRESULT WriteGrayBand(const SpoolTarget& out, PBYTE bits, PBITMAPINFOHEADER header, float originY) {
  if (!HasReadableRows(*header, 1) || !FitsGrayRecord(*header)) return E_INVALIDARG;
  const DWORD rowLength = GrayRecordWidth(*header);
  const DWORD rows = static_cast<DWORD>(header->biHeight);
  const DWORD stride = RowStride(*header);
  WriteShortImageRecordHeader(out, originY, static_cast<uint16_t>(rowLength), static_cast<uint16_t>(rows),
                              language::kGrayRawDescriptor, rowLength * rows);
  // Host rows of the record's length go in one write; any others are made
  // to that length, or the printer would read shifted rows.
  if (stride == rowLength) {
    SpoolBytes(out, bits, rowLength * rows);
  } else {
    SpoolGrayRows(out, bits, rows, stride, rowLength);
  }
  return S_OK;
}

HRESULT WriteColorBand(const SpoolTarget& out, PBYTE bits, PBITMAPINFOHEADER header, float originY) {
  if (!HasReadableRows(*header, 3) || !FitsRecord(*header)) return E_INVALIDARG;
  const DWORD width = static_cast<DWORD>(header->biWidth);
  const DWORD rows = static_cast<DWORD>(header->biHeight);
  const DWORD rowBytes = 3 * width;
  const DWORD stride = RowStride(*header);
  auto* row = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, rowBytes));
  if (row == nullptr) return E_OUTOFMEMORY;
  WriteShortImageRecordHeader(out, originY, static_cast<uint16_t>(width), static_cast<uint16_t>(rows),
                              language::kColorRawDescriptor, rowBytes * rows);
  const BYTE* source = bits;
  for (DWORD y = 0; y < rows; ++y, source += stride) {
    ExchangeFirstAndThirdBytes(source, row, width);
    SpoolBytes(out, row, rowBytes);
  }
  HeapFree(GetProcessHeap(), 0, row);
  return S_OK;
}

void ProcessBand(const SpoolTarget& out, PBYTE bits, PBITMAPINFOHEADER header, PBYTE colorTable, DWORD callbackId,
                 PIPPARAMS params) {
  if (out.helper == nullptr || out.pdevobj == nullptr || bits == nullptr || header == nullptr || params == nullptr)
    return;
  const auto originY = static_cast<float>(params->ptOffset.y);
  if (params->bBlankBand) return;
  if (callbackId == kMonochromeCallback) {
    WriteCompressedBand(out, bits, header, colorTable, params);
    return;
  }
  auto* pdev = static_cast<RenderPdev*>(out.pdevobj->pdevOEM);
  if (pdev != nullptr && pdev->tryJpeg && TryJpegBand(out, *pdev, bits, header, originY)) return;
  if (callbackId == kColorCallback) {
    WriteColorBand(out, bits, header, originY);
  } else if (callbackId == kGrayCallback) {
    WriteGrayBand(out, bits, header, originY);
  }
}

}  // namespace kav
