#include "render/image_processing.h"

#include <cmath>
#include <cstdint>

#include "platform/spooler_identity.h"
#include "render/band_rows.h"
#include "render/compressed_band.h"
#include "render/image_record.h"
#include "render/jpeg_band.h"
#include "render/render_plugin.h"

namespace kav {
namespace {

constexpr DWORD kGrayCallback = 1;
constexpr DWORD kColorCallback = 2;
constexpr DWORD kMonochromeCallback = 3;

// Tries the band as a JPEG record under the spooler's own identity; answers
// true when the record went out. A failed attempt turns JPEG off for the
// device; a refused change of identity only skips this band's attempt.
bool TryJpegBand(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, RenderPdev& pdev, PBYTE bits, PBITMAPINFOHEADER header,
                 float originY) {
  const HANDLE token = spooler::RevertToPrinterSelf();
  if (token == nullptr) return false;
  const HRESULT hr = WriteJpegBand(pdevobj, bits, header, originY, helper);
  if (FAILED(hr)) pdev.tryJpeg = 0;
  spooler::ImpersonatePrinterClient(token);
  return SUCCEEDED(hr);
}

}  // namespace

HRESULT WriteGrayBand(PDEVOBJ pdevobj, PBYTE bits, PBITMAPINFOHEADER header, float originY,
                      IPrintOemDriverUni* helper) {
  if (!HasReadableRows(*header, 1)) return E_INVALIDARG;
  // The 8-bit row length: the width rounded up to a multiple of 4.
  const auto width = static_cast<uint16_t>(static_cast<int64_t>(std::ceil(header->biWidth * 0.25) * 4.0));
  WriteShortImageRecordHeader(helper, pdevobj, originY, width, static_cast<uint16_t>(header->biHeight),
                              kGrayRawDescriptor, header->biSizeImage);
  SpoolBytes(helper, pdevobj, bits, header->biSizeImage);
  return S_OK;
}

HRESULT WriteColorBand(PDEVOBJ pdevobj, PBYTE bits, PBITMAPINFOHEADER header, float originY,
                       IPrintOemDriverUni* helper) {
  if (!HasReadableRows(*header, 3)) return E_INVALIDARG;
  const DWORD width = static_cast<DWORD>(header->biWidth);
  const DWORD rows = static_cast<DWORD>(header->biHeight);
  const DWORD rowBytes = 3 * width;
  const DWORD stride = RowStride(*header);
  auto* row = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, rowBytes));
  if (row == nullptr) return E_OUTOFMEMORY;
  WriteShortImageRecordHeader(helper, pdevobj, originY, static_cast<uint16_t>(width), static_cast<uint16_t>(rows),
                              kColorRawDescriptor, rowBytes * rows);
  const BYTE* source = bits;
  for (DWORD y = 0; y < rows; ++y, source += stride) {
    for (DWORD x = 0; x < rowBytes; x += 3) {
      row[x] = source[x + 2];
      row[x + 1] = source[x + 1];
      row[x + 2] = source[x];
    }
    SpoolBytes(helper, pdevobj, row, rowBytes);
  }
  HeapFree(GetProcessHeap(), 0, row);
  return S_OK;
}

void ProcessBand(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, PBYTE bits, PBITMAPINFOHEADER header, PBYTE colorTable,
                 DWORD callbackId, PIPPARAMS params) {
  if (helper == nullptr || pdevobj == nullptr || bits == nullptr || header == nullptr || params == nullptr) return;
  const auto originY = static_cast<float>(params->ptOffset.y);
  if (params->bBlankBand) return;
  if (callbackId == kMonochromeCallback) {
    WriteCompressedBand(helper, pdevobj, bits, header, colorTable, params);
    return;
  }
  auto* pdev = static_cast<RenderPdev*>(pdevobj->pdevOEM);
  if (pdev != nullptr && pdev->tryJpeg && TryJpegBand(helper, pdevobj, *pdev, bits, header, originY)) return;
  if (callbackId == kColorCallback) {
    WriteColorBand(pdevobj, bits, header, originY, helper);
  } else if (callbackId == kGrayCallback) {
    WriteGrayBand(pdevobj, bits, header, originY, helper);
  }
}

}  // namespace kav
