// ImageProcessing through the loaded render library with arbitrary band
// headers, callback ids, offsets and blank flags, over a band buffer of
// exactly the size the header claims, with JPEG tried or not.
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "host/render_session.h"
#include "render/render_plugin.h"

namespace {

constexpr uint32_t kLargestBand = 1u << 18;

struct Device {
  kav::host::RenderSession session;
  kav::host::CountingSink spooled;
  Device() {
    std::string error;
    if (!session.Open(kav::host::PluginBesideProgram("kavrender"), error) || FAILED(session.EnableDevice())) {
      std::fprintf(stderr, "cannot open the render library: %s\n", error.c_str());
      std::abort();
    }
    session.helper().SetSink(&spooled);
  }
};

Device& TheDevice() {
  static auto* device = new Device;
  return *device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kav::fuzz::FuzzInput input(data, size);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = input.Take<int32_t>();
  header.biHeight = input.Take<int32_t>();
  header.biPlanes = 1;
  const uint8_t bitCounts[] = {1, 8, 24, 0, 4, 32, 16, 2};
  header.biBitCount = bitCounts[input.Take<uint8_t>() % sizeof bitCounts];
  header.biSizeImage = input.TakeInRange(0, kLargestBand);
  const DWORD callbackId = input.Take<uint8_t>() % 5;
  IPPARAMS params{};
  params.dwSize = sizeof params;
  params.ptOffset = {input.Take<int32_t>(), input.Take<int32_t>()};
  const auto flags = input.Take<uint8_t>();
  params.bBlankBand = flags & 1;
  params.bBanding = TRUE;

  Device& device = TheDevice();
  static_cast<kav::RenderPdev*>(device.session.devobj().pdevOEM)->tryJpeg = (flags & 2) ? 1 : 0;

  // Exactly biSizeImage bytes, so any read past the band is caught.
  std::unique_ptr<uint8_t[]> bits(new uint8_t[header.biSizeImage == 0 ? 1 : header.biSizeImage]);
  input.Fill(bits.get(), header.biSizeImage);
  const auto answer = device.session.Band(callbackId, header, bits.get(), params);
  FUZZ_CHECK(answer.hr == S_OK);
  FUZZ_CHECK(reinterpret_cast<uintptr_t>(answer.result) == 1);
  return 0;
}
