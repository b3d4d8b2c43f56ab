// The part of the GDI+ flat interface that the band encoder uses, declared
// from the platform's public layouts, and the one way to reach it: a table
// of plain function pointers, bound on first use rather than at load, so a
// library that uses it does not import GDI+.
#pragma once

#include "platform/win32.h"

namespace kav::gdiplus {

enum Status {
  Ok = 0,
  GenericError = 1,
  InvalidParameter = 2,
  OutOfMemory = 3,
  ObjectBusy = 4,
  InsufficientBuffer = 5,
  NotImplemented = 6,
  Win32Error = 7,
  WrongState = 8,
  Aborted = 9,
  FileNotFound = 10,
  ValueOverflow = 11,
  AccessDenied = 12,
  UnknownImageFormat = 13,
  FontFamilyNotFound = 14,
  FontStyleNotFound = 15,
  NotTrueTypeFont = 16,
  UnsupportedGdiplusVersion = 17,
  GdiplusNotInitialized = 18,
  PropertyNotFound = 19,
  PropertyNotSupported = 20,
};
typedef Status GpStatus;

typedef INT PixelFormat;
inline constexpr PixelFormat PixelFormat8bppIndexed = 0x00030803;
inline constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;  // memory order per pixel: blue, green, red

typedef DWORD ARGB;
inline constexpr UINT PaletteFlagsGrayScale = 0x0002;

struct ColorPalette {
  UINT Flags;
  UINT Count;
  ARGB Entries[1];  // Count entries in the caller's block
};

typedef VOID(WINAPI* DebugEventProc)(INT level, CHAR* message);

struct GdiplusStartupInput {
  UINT GdiplusVersion;
  DebugEventProc DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};

struct GdiplusStartupOutput {
  PVOID NotificationHook;
  PVOID NotificationUnhook;
};

inline constexpr ULONG EncoderParameterValueTypeLong = 4;
// {1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}
inline constexpr GUID EncoderQuality = {0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};

struct EncoderParameter {
  GUID Guid;
  ULONG NumberOfValues;
  ULONG Type;
  PVOID Value;
};

struct EncoderParameters {
  UINT Count;
  EncoderParameter Parameter[1];  // Count parameters in the caller's block
};

struct ImageCodecInfo {
  CLSID Clsid;
  GUID FormatID;
  const WCHAR* CodecName;
  const WCHAR* DllName;
  const WCHAR* FormatDescription;
  const WCHAR* FilenameExtension;
  const WCHAR* MimeType;
  DWORD Flags;
  DWORD Version;
  DWORD SigCount;
  DWORD SigSize;
  const BYTE* SigPattern;
  const BYTE* SigMask;
};

static_assert(sizeof(ColorPalette) == 12 && sizeof(GdiplusStartupInput) == 24);
static_assert(sizeof(EncoderParameter) == 32 && sizeof(EncoderParameters) == 40);
static_assert(sizeof(ImageCodecInfo) == 104 && offsetof(ImageCodecInfo, MimeType) == 64);

// Opaque objects of GDI+; a bitmap is an image.
struct GpImage {};
struct GpBitmap : GpImage {};

// The eight flat calls, as the platform's gdiplus.dll exports them.
struct GdiplusFlatApi {
  GpStatus(WINAPI* GdiplusStartup)(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
  VOID(WINAPI* GdiplusShutdown)(ULONG_PTR token);
  GpStatus(WINAPI* GdipCreateBitmapFromScan0)(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                              GpBitmap** bitmap);
  GpStatus(WINAPI* GdipSetImagePalette)(GpImage* image, const ColorPalette* palette);
  GpStatus(WINAPI* GdipGetImageEncodersSize)(UINT* numEncoders, UINT* size);
  GpStatus(WINAPI* GdipGetImageEncoders)(UINT numEncoders, UINT size, ImageCodecInfo* encoders);
  GpStatus(WINAPI* GdipSaveImageToFile)(GpImage* image, const WCHAR* filename, const CLSID* clsidEncoder,
                                        const EncoderParameters* encoderParams);
  GpStatus(WINAPI* GdipDisposeImage)(GpImage* image);
};

// GDI+ bound on the first call and kept for the life of the process; null
// where it cannot be had (no library, or one without these calls), so every
// use can fail cleanly.
KAV_EXPORT const GdiplusFlatApi* BindGdiplus();

}  // namespace kav::gdiplus
