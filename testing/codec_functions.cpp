#include "codec_functions.h"

#include <utility>

namespace kav::test {

bool FindCodecFunctions(const host::PluginLibrary& library, CodecFunctions& codec, std::string& error) {
  codec.LoadCompress = library.FindAs<decltype(codec.LoadCompress)>("kavcmp_LoadCompress");
  codec.InitBitmap = library.FindAs<decltype(codec.InitBitmap)>("kavcmp_InitBitmap");
  codec.CompressBitmap = library.FindAs<decltype(codec.CompressBitmap)>("kavcmp_CompressBitmap");
  codec.GetBitmap = library.FindAs<decltype(codec.GetBitmap)>("kavcmp_GetBitmap");
  codec.FinishBitmap = library.FindAs<decltype(codec.FinishBitmap)>("kavcmp_FinishBitmap");
  codec.FreeCompress = library.FindAs<decltype(codec.FreeCompress)>("kavcmp_FreeCompress");
  const std::pair<const void*, const char*> found[] = {
      {reinterpret_cast<const void*>(codec.LoadCompress), "kavcmp_LoadCompress"},
      {reinterpret_cast<const void*>(codec.InitBitmap), "kavcmp_InitBitmap"},
      {reinterpret_cast<const void*>(codec.CompressBitmap), "kavcmp_CompressBitmap"},
      {reinterpret_cast<const void*>(codec.GetBitmap), "kavcmp_GetBitmap"},
      {reinterpret_cast<const void*>(codec.FinishBitmap), "kavcmp_FinishBitmap"},
      {reinterpret_cast<const void*>(codec.FreeCompress), "kavcmp_FreeCompress"},
  };
  for (const auto& [function, name] : found) {
    if (function == nullptr) {
      error = std::string(name) + " is not exported by " + library.path();
      return false;
    }
  }
  return true;
}

}  // namespace kav::test
