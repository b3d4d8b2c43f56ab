#include "render/image_processing.h"

#include <tmmintrin.h>

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

// Pixels `from` to the end of the row, one byte at a time.
void PixelsToRgb(const BYTE* source, BYTE* row, DWORD from, DWORD width) {
  for (DWORD x = from; x < width; ++x) {
    row[3 * x] = source[3 * x + 2];
    row[3 * x + 1] = source[3 * x + 1];
    row[3 * x + 2] = source[3 * x];
  }
}

// Five pixels per step through one byte shuffle, which every x64 processor
// since 2006 has (SSSE3): a plain copy's speed, where the byte loop is five
// times slower. Each 16-byte load and store ends inside the row.
__attribute__((target("ssse3"))) void ShuffleRowToRgb(const BYTE* source, BYTE* row, DWORD width) {
  const __m128i swapRedAndBlue = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  DWORD x = 0;
  for (; x + 6 <= width; x += 5) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 3 * x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 3 * x), _mm_shuffle_epi8(pixels, swapRedAndBlue));
  }
  PixelsToRgb(source, row, x, width);
}

// One row of the host's blue-green-red pixels as red-green-blue.
void RowToRgb(const BYTE* source, BYTE* row, DWORD width) {
  static const bool canShuffle = __builtin_cpu_supports("ssse3");
  if (canShuffle) {
    ShuffleRowToRgb(source, row, width);
  } else {
    PixelsToRgb(source, row, 0, width);
  }
}

}  // namespace

HRESULT WriteGrayBand(PDEVOBJ pdevobj, PBYTE bits, PBITMAPINFOHEADER header, float originY,
                      IPrintOemDriverUni* helper) {
  if (!HasReadableRows(*header, 1)) return E_INVALIDARG;
  // The 8-bit row length: the width rounded up to a multiple of 4.
  const auto width = static_cast<uint16_t>(static_cast<int64_t>(std::ceil(header->biWidth * 0.25) * 4.0));
  WriteShortImageRecordHeader(helper, pdevobj, originY, width, static_cast<uint16_t>(header->biHeight),
                              language::kGrayRawDescriptor, header->biSizeImage);
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
                              language::kColorRawDescriptor, rowBytes * rows);
  const BYTE* source = bits;
  for (DWORD y = 0; y < rows; ++y, source += stride) {
    RowToRgb(source, row, width);
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
