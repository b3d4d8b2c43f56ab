// kavhost's script reader: the strict JSON parser and the replay script
// checks over arbitrary text. Scripts that name band data files are skipped,
// so a run never reads a file the input names.
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "kavhost/replay_script.h"
#include "support/json.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Reads every part of a parsed value, so a sanitizer sees any bad byte.
size_t Touch(const kav::tools::JsonValue& value) {
  size_t sum = value.text.size() + value.position.offset + (value.integer ? 1 : 0);
  for (char c : value.text) sum += static_cast<unsigned char>(c);
  for (const auto& item : value.items) sum += Touch(item);
  for (const auto& member : value.members) sum += member.first.size() + Touch(member.second);
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kav::Result<kav::tools::JsonValue> json = kav::tools::ParseJson(text);
  if (json) {
    Check(json->position.offset <= size);
    Touch(*json);
  } else {
    Check(json.error().rfind("line ", 0) == 0);
  }
  if (text.find("data_file") != std::string_view::npos) return 0;
  const kav::Result<kav::tools::ReplayScript> script = kav::tools::ParseReplayScript(text, ".");
  if (!script) {
    Check(!script.error().empty());
  } else {
    Check(json.ok());
    for (const auto& call : script->calls) {
      const auto* band = std::get_if<kav::tools::ImageProcessingCall>(&call);
      Check(band == nullptr || band->data.size() == band->header.biSizeImage);
    }
  }
  return 0;
}
