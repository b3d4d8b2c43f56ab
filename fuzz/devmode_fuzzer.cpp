// The DevMode slot with arbitrary modes and records, sizes that lie included.
// Each record lies in a block of exactly its 16 bytes, so a read or write past
// it is caught.
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "host/render_session.h"

namespace {

constexpr uint32_t kSignature = 0x4D534654;

struct Record {
  uint32_t dwSize, dwSignature, dwVersion, dwFlag;
};

kav::host::RenderSession& Session() {
  static auto* session = [] {
    auto* opened = new kav::host::RenderSession;
    std::string error;
    if (!opened->Open(kav::host::PluginBesideProgram("kavrender"), error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::abort();
    }
    return opened;
  }();
  return *session;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kav::fuzz::FuzzInput input(data, size);
  const auto mode = input.Take<uint32_t>() % 7;  // 0 to 6: every mode and both sides of the range
  const auto presence = input.Take<uint8_t>();
  std::unique_ptr<Record> in(presence & 1 ? new Record : nullptr);
  std::unique_ptr<Record> out(presence & 2 ? new Record : nullptr);
  if (in) input.Fill(reinterpret_cast<uint8_t*>(in.get()), sizeof(Record));
  if (out) input.Fill(reinterpret_cast<uint8_t*>(out.get()), sizeof(Record));

  OEMDMPARAM param{};
  param.cbSize = sizeof param;
  param.pOEMDMIn = in.get();
  param.pOEMDMOut = out.get();
  const bool passParam = (presence & 4) == 0;
  const HRESULT hr = Session().plugin()->DevMode(mode, passParam ? &param : nullptr);

  const bool known = mode >= 1 && mode <= 4 && passParam;
  FUZZ_CHECK(SUCCEEDED(hr) == (known && !(mode == 2 && !out)));
  if (mode == 1 && known) FUZZ_CHECK(param.cbBufSize == 16);
  if ((mode == 2 || mode == 4) && known && out) {
    // After a default or a merge the record always carries our header.
    FUZZ_CHECK(out->dwSize == 16 && out->dwSignature == kSignature && out->dwVersion == 1);
    FUZZ_CHECK(out->dwFlag <= 1);
  }
  return 0;
}
