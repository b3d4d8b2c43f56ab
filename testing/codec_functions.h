// The codec's six functions found in a loaded render library, as another
// module reaches them; shared by the codec tests and the codec fuzzer.
#pragma once

#include <string>

#include "host/plugin_library.h"
#include "kavcmp.h"

namespace kav::test {

struct CodecFunctions {
  decltype(&kavcmp_LoadCompress) LoadCompress = nullptr;
  decltype(&kavcmp_InitBitmap) InitBitmap = nullptr;
  decltype(&kavcmp_CompressBitmap) CompressBitmap = nullptr;
  decltype(&kavcmp_GetBitmap) GetBitmap = nullptr;
  decltype(&kavcmp_FinishBitmap) FinishBitmap = nullptr;
  decltype(&kavcmp_FreeCompress) FreeCompress = nullptr;
};

// Finds the six functions in a loaded library; false with `error` naming the
// first one missing.
bool FindCodecFunctions(const host::PluginLibrary& library, CodecFunctions& codec, std::string& error);

}  // namespace kav::test
