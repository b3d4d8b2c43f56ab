// GDI+ reached through gdiplus.dll, loaded on first use. The library stays
// loaded for the life of the process: the render library that uses it is
// itself kept loaded once it has served a device.
#include "platform/gdiplus_flat.h"

namespace kav::gdiplus {
namespace {

template <class Fn>
bool Bind(HMODULE module, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  return slot != nullptr;
}

const GdiplusFlatApi* LoadGdiplus() {
  static GdiplusFlatApi api;
  const HMODULE module = LoadLibraryW(L"gdiplus.dll");
  if (module == nullptr) return nullptr;
  if (Bind(module, "GdiplusStartup", api.GdiplusStartup) && Bind(module, "GdiplusShutdown", api.GdiplusShutdown) &&
      Bind(module, "GdipCreateBitmapFromScan0", api.GdipCreateBitmapFromScan0) &&
      Bind(module, "GdipSetImagePalette", api.GdipSetImagePalette) &&
      Bind(module, "GdipGetImageEncodersSize", api.GdipGetImageEncodersSize) &&
      Bind(module, "GdipGetImageEncoders", api.GdipGetImageEncoders) &&
      Bind(module, "GdipSaveImageToFile", api.GdipSaveImageToFile) &&
      Bind(module, "GdipDisposeImage", api.GdipDisposeImage)) {
    return &api;
  }
  FreeLibrary(module);
  return nullptr;
}

}  // namespace

const GdiplusFlatApi* BindGdiplus() {
  static const GdiplusFlatApi* const api = LoadGdiplus();
  return api;
}

}  // namespace kav::gdiplus
