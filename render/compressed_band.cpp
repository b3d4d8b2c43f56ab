#include "render/compressed_band.h"

#include <cstring>

#include "kavcmp.h"
#include "render/image_record.h"

namespace kav {
namespace {

constexpr int32_t kCodecRowMode = 1;

uint32_t PaddedWidth(LONG width) { return (static_cast<uint32_t>(width) + 31) / 32 * 32; }

// Bitwise NOT of every byte, a machine word at a time.
void InvertBytes(PBYTE bytes, DWORD count) {
  DWORD i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, sizeof word);
    word = ~word;
    std::memcpy(bytes + i, &word, sizeof word);
  }
  for (; i < count; ++i) bytes[i] = static_cast<BYTE>(~bytes[i]);
}

// Clears the pixels past `width` in every row: the host may leave anything in
// its fill bits, and the padding is to come out the same on every band.
void ClearPadding(PBYTE block, DWORD rows, DWORD rowBytes, uint32_t width) {
  const DWORD usedBytes = (width + 7) / 8;
  const auto lastMask = static_cast<BYTE>(0xFF << (usedBytes * 8 - width));
  for (DWORD y = 0; y < rows; ++y) {
    PBYTE row = block + size_t{y} * rowBytes;
    row[usedBytes - 1] &= lastMask;
    std::memset(row + usedBytes, 0, rowBytes - usedBytes);
  }
}

}  // namespace

PBYTE AllocPaddedBand(const BITMAPINFOHEADER& host, BITMAPINFOHEADER& padded) {
  padded = host;
  if (host.biBitCount != 1) return nullptr;
  if (host.biWidth < 1 || host.biWidth > kMaxCompressedBandWidth) return nullptr;
  if (host.biHeight < 1 || host.biHeight > kMaxCompressedBandHeight) return nullptr;
  const auto rows = static_cast<DWORD>(host.biHeight);
  // The host's rows are biSizeImage / biHeight bytes apart; each must hold its pixels.
  if (host.biSizeImage / rows < (static_cast<DWORD>(host.biWidth) + 7) / 8) return nullptr;
  const uint32_t paddedWidth = PaddedWidth(host.biWidth);
  padded.biWidth = static_cast<LONG>(paddedWidth);
  // Always whole padded rows, also when the width is already a multiple of
  // 32: a host size with extra fill per row would otherwise send data that
  // disagrees with the record's width and height.
  padded.biSizeImage = rows * (paddedWidth / 8);
  return static_cast<PBYTE>(GlobalAlloc(GMEM_ZEROINIT, padded.biSizeImage));
}

void CopyRowsPadded(const BITMAPINFOHEADER& host, const BITMAPINFOHEADER& padded, const BYTE* bits, PBYTE block) {
  const auto rows = static_cast<DWORD>(padded.biHeight);
  const DWORD sourceStride = host.biSizeImage / rows;
  const DWORD rowBytes = padded.biSizeImage / rows;
  if (sourceStride == rowBytes) {
    std::memcpy(block, bits, padded.biSizeImage);
  } else {
    const DWORD copied = sourceStride < rowBytes ? sourceStride : rowBytes;
    for (DWORD y = 0; y < rows; ++y) std::memcpy(block + size_t{y} * rowBytes, bits + size_t{y} * sourceStride, copied);
  }
  const auto width = static_cast<uint32_t>(host.biWidth);
  if (width != static_cast<uint32_t>(padded.biWidth)) ClearPadding(block, rows, rowBytes, width);
}

HRESULT CompressBandInPlace(uint16_t width, uint16_t height, uint32_t* size, PBYTE block) {
  if (size == nullptr || block == nullptr || height == 0) return E_INVALIDARG;
  CompressHandle* handle = kavcmp_LoadCompress();
  if (handle == nullptr) return E_FAIL;
  HRESULT hr = E_FAIL;
  if (kavcmp_InitBitmap(handle, kCodecRowMode, width, height, static_cast<int32_t>(*size / height)) == 0) {
    uint32_t produced = 0;
    // A stream as long as the rows is still sent compressed.
    if (kavcmp_CompressBitmap(handle, block, height, &produced) == 0 && produced <= *size &&
        kavcmp_GetBitmap(handle, block) == 0) {
      *size = produced;
      hr = S_OK;
    }
    kavcmp_FinishBitmap(handle);
  }
  kavcmp_FreeCompress(handle);
  return hr;
}

HRESULT WriteCompressedBand(const SpoolTarget& out, PBYTE bits, PBITMAPINFOHEADER header, PBYTE, PIPPARAMS params) {
  if (out.helper == nullptr || out.pdevobj == nullptr || bits == nullptr || header == nullptr || params == nullptr) {
    return E_INVALIDARG;
  }
  BITMAPINFOHEADER padded;
  const PBYTE block = AllocPaddedBand(*header, padded);
  if (block == nullptr) return E_FAIL;
  CopyRowsPadded(*header, padded, bits, block);
  // The printer's 1 is the host's 0; the padding becomes 1.
  InvertBytes(block, padded.biSizeImage);

  const auto width = static_cast<uint16_t>(padded.biWidth);
  const auto height = static_cast<uint16_t>(padded.biHeight);
  uint32_t dataLength = padded.biSizeImage;
  const bool compressed = CompressBandInPlace(width, height, &dataLength, block) == S_OK;

  ImageRecordHeader record{};
  record.originX = static_cast<float>(params->ptOffset.x);
  record.originY = static_cast<float>(params->ptOffset.y);
  std::memcpy(record.transform, language::kIdentityMatrix, sizeof record.transform);
  record.width = width;
  record.height = height;
  record.extKind = language::kNoExtension;
  record.formatKind = language::kFormatBlockFollows;
  record.colorSpace = language::kColorSpaceGray;
  record.dataLayout = language::kRowsFirstToLast;
  record.bitsPerComponent = 1;
  record.compression = compressed ? language::kCompressionRows : language::kCompressionNone;
  record.dataLength = dataLength;
  WriteImageRecordHeader(out, record);
  SpoolBytes(out, block, dataLength);
  GlobalFree(block);
  return S_OK;
}

}  // namespace kav
