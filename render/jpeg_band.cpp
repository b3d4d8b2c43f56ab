#include "render/jpeg_band.h"

#include <algorithm>
#include <climits>

#include "platform/gdiplus_flat.h"
#include "render/band_rows.h"
#include "render/image_record.h"
#include "render/pixel_order.h"

namespace kav {
namespace {

using gdiplus::GdiplusFlatApi;
using gdiplus::Ok;

constexpr ULONG kJpegQuality = 83;

// GDI+'s ColorPalette with all of its 256 entries in place.
struct GrayPalette {
  UINT Flags;
  UINT Count;
  gdiplus::ARGB Entries[256];
};
static_assert(sizeof(GrayPalette) == 1032 &&
              offsetof(GrayPalette, Entries) == offsetof(gdiplus::ColorPalette, Entries));

// Entry i is opaque gray i: entry 0 black, entry 255 white.
GrayPalette* NewGrayPalette() {
  auto* palette = static_cast<GrayPalette*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(GrayPalette)));
  if (palette == nullptr) return nullptr;
  palette->Flags = gdiplus::PaletteFlagsGrayScale;
  palette->Count = 256;
  for (DWORD i = 0; i < 256; ++i) palette->Entries[i] = 0xFF000000u + i * 0x010101u;
  return palette;
}

void FreeBlock(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

// Equal character for character, the terminating zero included.
bool SameText(const WCHAR* a, const WCHAR* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == 0) return true;
  }
  return false;
}

// The whole temporary file, in one heap block of exactly its size.
struct FileBytes {
  BYTE* bytes = nullptr;
  DWORD size = 0;
};

bool ReadWholeFile(LPCWSTR name, FileBytes& file) {
  const HANDLE handle =
      CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // An empty file is no JPEG; a failed size query answers INVALID_FILE_SIZE.
  const DWORD size = GetFileSize(handle, nullptr);
  auto* bytes =
      size == 0 || size == INVALID_FILE_SIZE ? nullptr : static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size));
  DWORD read = 0;
  const bool complete = bytes != nullptr && ReadFile(handle, bytes, size, &read, nullptr) && read == size;
  CloseHandle(handle);
  if (!complete) {
    FreeBlock(bytes);
    return false;
  }
  file = {bytes, size};
  return true;
}

}  // namespace

int FindEncoderClsid(const WCHAR* mimeType, CLSID* clsid) {
  const GdiplusFlatApi* gdip = gdiplus::BindGdiplus();
  if (gdip == nullptr) return -1;
  UINT count = 0;
  UINT size = 0;
  if (gdip->GdipGetImageEncodersSize(&count, &size) != Ok || size == 0) return -1;
  auto* encoders = static_cast<gdiplus::ImageCodecInfo*>(HeapAlloc(GetProcessHeap(), 0, size));
  if (encoders == nullptr) return -1;
  int found = -1;
  if (gdip->GdipGetImageEncoders(count, size, encoders) == Ok) {
    // The block holds the entries, then the texts they point to.
    const UINT listed = std::min<UINT>(count, size / sizeof(gdiplus::ImageCodecInfo));
    for (UINT i = 0; i < listed && found < 0; ++i) {
      if (encoders[i].MimeType == nullptr || !SameText(encoders[i].MimeType, mimeType)) continue;
      *clsid = encoders[i].Clsid;
      found = static_cast<int>(i);
    }
  }
  FreeBlock(encoders);
  return found;
}

// A band the encoder cannot take (a bit count other than 8 and 24, rows
// shorter than their pixels) is refused before GDI+ is started at all.
BOOL EncodeBandToJpegFile(PBYTE bits, PBITMAPINFOHEADER header, LPCWSTR fileName) {
  const bool gray = header->biBitCount == 8;
  if ((!gray && header->biBitCount != 24) || !HasReadableRows(*header, gray ? 1 : 3)) return FALSE;
  const DWORD stride = RowStride(*header);
  if (stride > INT_MAX) return FALSE;
  const auto width = static_cast<DWORD>(header->biWidth);
  const auto rows = static_cast<DWORD>(header->biHeight);
  const GdiplusFlatApi* gdip = gdiplus::BindGdiplus();
  if (gdip == nullptr) return FALSE;
  const gdiplus::GdiplusStartupInput input = {1, nullptr, FALSE, FALSE};
  ULONG_PTR token = 0;
  if (gdip->GdiplusStartup(&token, &input, nullptr) != Ok) return FALSE;

  ULONG quality = kJpegQuality;
  const gdiplus::EncoderParameters parameters = {
      1, {{gdiplus::EncoderQuality, 1, gdiplus::EncoderParameterValueTypeLong, &quality}}};
  GrayPalette* palette = gray ? NewGrayPalette() : nullptr;
  gdiplus::GpBitmap* bitmap = nullptr;
  bool saved = false;
  if (!gray || palette != nullptr) {
    // The printer reads a colour JPEG's components in the exchanged order,
    // so GDI+ gets the band with red in the byte it takes for blue. The
    // exchange is made in place, without a copy of the band, and undone
    // once GDI+ holds the bitmap no more. A bitmap that cannot be made stays
    // null and fails the next call.
    if (!gray) ExchangeFirstAndThirdBytesInBand(bits, width, rows, stride);
    gdip->GdipCreateBitmapFromScan0(header->biWidth, header->biHeight, static_cast<INT>(stride),
                                    gray ? gdiplus::PixelFormat8bppIndexed : gdiplus::PixelFormat24bppRGB, bits,
                                    &bitmap);
    CLSID encoder{};
    saved = (!gray || gdip->GdipSetImagePalette(bitmap, reinterpret_cast<gdiplus::ColorPalette*>(palette)) == Ok) &&
            FindEncoderClsid(KAV_WIDE("image/jpeg"), &encoder) >= 0 &&
            gdip->GdipSaveImageToFile(bitmap, fileName, &encoder, &parameters) == Ok;
  }
  FreeBlock(palette);
  if (bitmap != nullptr) gdip->GdipDisposeImage(bitmap);
  if (!gray) ExchangeFirstAndThirdBytesInBand(bits, width, rows, stride);
  gdip->GdiplusShutdown(token);
  return saved ? TRUE : FALSE;
}

HRESULT WriteJpegBand(const SpoolTarget& out, PBYTE bits, PBITMAPINFOHEADER header, float originY) {
  // Refused before a temporary file is made: nothing to clean up.
  if (!FitsRecord(*header)) return E_FAIL;
  WCHAR folder[MAX_PATH];
  const DWORD folderLength = GetTempPathW(MAX_PATH, folder);
  if (folderLength == 0 || folderLength >= MAX_PATH) return E_FAIL;
  WCHAR name[MAX_PATH];
  if (GetTempFileNameW(folder, KAV_WIDE("uni"), 0, name) == 0) return E_FAIL;
  // The file is read whole before anything goes into the job, so a failed
  // attempt leaves nothing there for the raw record to follow.
  FileBytes jpeg;
  const bool ready = EncodeBandToJpegFile(bits, header, name) && ReadWholeFile(name, jpeg);
  DeleteFileW(name);
  if (!ready) return E_FAIL;
  WriteShortImageRecordHeader(out, originY, static_cast<uint16_t>(header->biWidth),
                              static_cast<uint16_t>(header->biHeight), language::kJpegDescriptor, jpeg.size);
  SpoolBytes(out, jpeg.bytes, jpeg.size);
  FreeBlock(jpeg.bytes);
  return S_OK;
}

}  // namespace kav
