#include "kavhost/replay_script.h"

#include <filesystem>
#include <set>
#include <type_traits>
#include <variant>

#include "host/band_builder.h"
#include "support/files.h"
#include "support/hex.h"
#include "support/json.h"
#include "support/shown_text.h"

namespace kav::tools {
namespace {

// The largest band a script may give, in bytes.
constexpr int64_t kMaxBandBytes = int64_t{256} << 20;

// Every member a script may set, by the name the script gives it; the reader
// and the replay both go through this table.
constexpr DevModeMember kDevModeMembers[] = {
    {"dmColor", [](DEVMODEW& devmode, short value) { devmode.dmColor = value; }},
    {"dmPaperWidth", [](DEVMODEW& devmode, short value) { devmode.dmPaperWidth = value; }},
    {"dmPaperLength", [](DEVMODEW& devmode, short value) { devmode.dmPaperLength = value; }},
    {"dmPrintQuality", [](DEVMODEW& devmode, short value) { devmode.dmPrintQuality = value; }},
    {"dmYResolution", [](DEVMODEW& devmode, short value) { devmode.dmYResolution = value; }},
    {"dmOrientation", [](DEVMODEW& devmode, short value) { devmode.dmOrientation = value; }},
    {"dmPaperSize", [](DEVMODEW& devmode, short value) { devmode.dmPaperSize = value; }},
};

// Makes `call` the call the script names; false for a name no call has.
template <size_t index = 0>
bool MakeCall(std::string_view name, ScriptCall& call) {
  if constexpr (index < std::variant_size_v<ScriptCall>) {
    if (name != std::variant_alternative_t<index, ScriptCall>::kName) return MakeCall<index + 1>(name, call);
    call.emplace<index>();
    return true;
  } else {
    return false;
  }
}

std::string Where(const JsonValue& value) {
  return " (line " + std::to_string(value.position.line) + ", column " + std::to_string(value.position.column) + ")";
}

// The members of one JSON object, taken one by one; whatever is left over
// at the end is an unknown field.
class ObjectReader {
 public:
  ObjectReader(const JsonValue& object, std::string context, std::string& error)
      : object_(object), context_(std::move(context)), error_(error) {}

  bool Fail(const std::string& field, const std::string& message, const JsonValue& at) {
    error_ = context_ + ": field " + ShownText(field) + ": " + message + Where(at);
    return false;
  }
  // A fault of the entry as a whole rather than of one field.
  bool FailWhole(const std::string& message) {
    error_ = context_ + ": " + message + Where(object_);
    return false;
  }
  bool FailMissing(const std::string& field) {
    error_ = context_ + ": field " + ShownText(field) + " is missing" + Where(object_);
    return false;
  }

  const JsonValue* Take(const std::string& name) {
    taken_.insert(name);
    return object_.Find(name);
  }

  bool Expect(const std::string& name, const JsonValue& value, JsonValue::Kind kind) {
    if (value.kind == kind) return true;
    return Fail(name, std::string("must be ") + JsonKindName(kind) + ", not " + JsonKindName(value.kind), value);
  }

  bool Integer(const std::string& name, int64_t min, int64_t max, bool required, std::optional<int64_t>& out) {
    const JsonValue* value = Take(name);
    if (value == nullptr) return !required || FailMissing(name);
    if (!Expect(name, *value, JsonValue::Kind::kNumber)) return false;
    if (!value->integer || *value->integer < min || *value->integer > max) {
      return Fail(name, "must be a whole number from " + std::to_string(min) + " to " + std::to_string(max), *value);
    }
    out = *value->integer;
    return true;
  }

  bool Boolean(const std::string& name, bool required, std::optional<bool>& out) {
    const JsonValue* value = Take(name);
    if (value == nullptr) return !required || FailMissing(name);
    if (!Expect(name, *value, JsonValue::Kind::kBool)) return false;
    out = value->boolean;
    return true;
  }

  // Two whole numbers, as [x, y].
  bool Pair(const std::string& name, int64_t min, int64_t max, std::optional<std::pair<int64_t, int64_t>>& out) {
    const JsonValue* value = Take(name);
    if (value == nullptr) return true;
    if (!Expect(name, *value, JsonValue::Kind::kArray)) return false;
    const std::string range = std::to_string(min) + " to " + std::to_string(max);
    if (value->items.size() != 2) return Fail(name, "must hold two whole numbers from " + range, *value);
    for (const JsonValue& item : value->items) {
      if (!item.integer || *item.integer < min || *item.integer > max) {
        return Fail(name, "must hold two whole numbers from " + range, item);
      }
    }
    out = std::make_pair(*value->items[0].integer, *value->items[1].integer);
    return true;
  }

  bool Finish() {
    for (const JsonValue::Member& member : object_.members) {
      if (taken_.count(member.first) == 0) return Fail(member.first, "is not a field of this entry", member.second);
    }
    return true;
  }

  const JsonValue& object() const { return object_; }

 private:
  const JsonValue& object_;
  std::string context_;
  std::string& error_;
  std::set<std::string> taken_;
};

bool ReadDevModeMembers(ObjectReader& reader, DevModeValues& fields) {
  for (const DevModeMember& member : kDevModeMembers) {
    std::optional<int64_t> value;
    if (!reader.Integer(member.name, -32768, 32767, false, value)) return false;
    if (value) fields.values.emplace_back(&member, static_cast<short>(*value));
  }
  return true;
}

bool DecodeHex(const std::string& text, std::vector<uint8_t>& bytes, std::string& why) {
  const size_t fault = ParseHex(text, bytes);
  if (fault == std::string_view::npos) return true;
  why = "is not pairs of hex digits (at character " + std::to_string(fault) + ")";
  return false;
}

// A data file's path: its name as given when it starts at the root (a
// name with ':' is not absolute on Linux), else beside the script.
std::string DataFilePath(const std::string& name, const std::string& folder) {
  return std::filesystem::path(name).has_root_directory() ? name : folder + "/" + name;
}

std::string SizeMismatch(uint64_t held, uint32_t sizeImage) {
  return "holds " + std::to_string(held) + " bytes; size_image is " + std::to_string(sizeImage);
}

bool ReadBandData(ObjectReader& reader, const std::string& folder, ImageProcessingCall& call) {
  const uint32_t sizeImage = call.header.biSizeImage;
  const JsonValue* hex = reader.Take("data_hex");
  const JsonValue* file = reader.Take("data_file");
  if (hex != nullptr && file != nullptr) return reader.Fail("data_file", "given together with data_hex", *file);
  if (hex == nullptr && file == nullptr) return reader.FailMissing("data_hex");
  std::string why;
  if (hex != nullptr) {
    if (!reader.Expect("data_hex", *hex, JsonValue::Kind::kString)) return false;
    if (!DecodeHex(hex->text, call.data, why)) return reader.Fail("data_hex", why, *hex);
    if (call.data.size() != sizeImage) return reader.Fail("data_hex", SizeMismatch(call.data.size(), sizeImage), *hex);
    return true;
  }
  if (!reader.Expect("data_file", *file, JsonValue::Kind::kString)) return false;
  const std::string& name = file->text;
  if (name.empty()) return reader.Fail("data_file", "is empty", *file);
  if (name.find('\0') != std::string::npos) return reader.Fail("data_file", "holds a NUL character", *file);
  call.dataFile = DataFilePath(name, folder);
  // Only the size is checked now; the bytes are read when the call is made.
  const Result<uint64_t> size = RegularFileSize(call.dataFile);
  if (!size) return reader.Fail("data_file", size.error(), *file);
  if (*size != sizeImage) return reader.Fail("data_file", SizeMismatch(*size, sizeImage), *file);
  return true;
}

// A required whole number from `min` to the largest unsigned 32-bit one.
bool ReadUnsigned(ObjectReader& reader, const std::string& name, int64_t min, uint32_t& out) {
  std::optional<int64_t> value;
  if (!reader.Integer(name, min, UINT32_MAX, true, value)) return false;
  out = static_cast<uint32_t>(*value);
  return true;
}

bool ReadCallFields(ObjectReader& reader, const std::string&, CommandCallbackCall& call) {
  return ReadUnsigned(reader, "id", 0, call.id);
}

bool ReadCallFields(ObjectReader& reader, const std::string& folder, ImageProcessingCall& call) {
  std::optional<int64_t> callback, bits, width, height, sizeImage;
  std::optional<std::pair<int64_t, int64_t>> offset;
  std::optional<bool> blank;
  if (!reader.Integer("callback", 0, UINT32_MAX, true, callback) || !reader.Integer("bit_count", 1, 32, true, bits) ||
      !reader.Integer("width", 1, 1 << 24, true, width) || !reader.Integer("height", 1, 1 << 24, true, height) ||
      !reader.Integer("size_image", 1, kMaxBandBytes, false, sizeImage) ||
      !reader.Pair("offset", INT32_MIN, INT32_MAX, offset) || !reader.Boolean("blank", false, blank)) {
    return false;
  }
  if (*bits != 1 && *bits != 4 && *bits != 8 && *bits != 16 && *bits != 24 && *bits != 32) {
    return reader.Fail("bit_count", "must be 1, 4, 8, 16, 24 or 32", *reader.object().Find("bit_count"));
  }
  call.callback = static_cast<uint32_t>(*callback);
  BITMAPINFOHEADER& header = call.header;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = static_cast<LONG>(*width);
  header.biHeight = static_cast<LONG>(*height);
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(*bits);
  // The host's rows: each at least the pixels' bytes; by default padded to 4 bytes.
  const int64_t pixelBytes = (*width * *bits + 7) / 8 * *height;
  const int64_t padded = int64_t{host::BandStride(static_cast<uint32_t>(*width), header.biBitCount)} * *height;
  if (!sizeImage && padded > kMaxBandBytes) {
    return reader.Fail("width", "and height make a band larger than " + std::to_string(kMaxBandBytes) + " bytes",
                       *reader.object().Find("width"));
  }
  const int64_t size = sizeImage ? *sizeImage : padded;
  if (size < pixelBytes) {
    return reader.Fail("size_image", "is smaller than the " + std::to_string(pixelBytes) + " bytes of the rows' pixels",
                       *reader.object().Find("size_image"));
  }
  header.biSizeImage = static_cast<DWORD>(size);
  if (offset) call.offset = {static_cast<LONG>(offset->first), static_cast<LONG>(offset->second)};
  call.blank = blank.value_or(false);
  return ReadBandData(reader, folder, call);
}

bool ReadCallFields(ObjectReader& reader, const std::string&, SetDevModeCall& call) {
  if (!ReadDevModeMembers(reader, call.devmode) || !reader.Finish()) return false;
  if (!call.devmode.values.empty()) return true;
  return reader.FailWhole("sets no device-mode member");
}

bool ReadCallFields(ObjectReader& reader, const std::string&, SetSettingCall& call) {
  const JsonValue* feature = reader.Take("feature");
  const JsonValue* keyword = reader.Take("keyword");
  if (feature == nullptr) return reader.FailMissing("feature");
  if (!reader.Expect("feature", *feature, JsonValue::Kind::kString)) return false;
  if (keyword == nullptr) return reader.FailMissing("keyword");
  if (!keyword->IsNull() && !reader.Expect("keyword", *keyword, JsonValue::Kind::kString)) return false;
  call.feature = feature->text;
  if (!keyword->IsNull()) call.keyword = keyword->text;
  return true;
}

bool ReadCallFields(ObjectReader& reader, const std::string&, FailWriteCall& call) {
  return ReadUnsigned(reader, "nth", 1, call.nth);
}

bool ReadCallFields(ObjectReader& reader, const std::string&, FailSettingsCall& call) {
  std::optional<bool> on;
  if (!reader.Boolean("on", true, on)) return false;
  call.on = *on;
  return true;
}

bool ReadCallFields(ObjectReader&, const std::string&, ResetDeviceCall&) { return true; }

bool ReadCall(const JsonValue& value, size_t index, const std::string& folder, ScriptCall& call, std::string& error) {
  const std::string context = "calls[" + std::to_string(index) + "]";
  if (!value.IsObject()) {
    error = context + ": must be an object" + Where(value);
    return false;
  }
  const JsonValue* name = value.Find("call");
  if (name == nullptr || name->kind != JsonValue::Kind::kString) {
    error = context + ": field \"call\" must name the call" + Where(name == nullptr ? value : *name);
    return false;
  }
  if (!MakeCall(name->text, call)) {
    error = context + ": field \"call\": unknown call " + ShownText(name->text) + Where(*name);
    return false;
  }
  ObjectReader reader(value, context + " (" + CallName(call) + ")", error);
  reader.Take("call");
  const bool read = std::visit([&](auto& fields) { return ReadCallFields(reader, folder, fields); }, call);
  return read && reader.Finish();
}

bool ReadDevice(ObjectReader& top, ReplayScript& script, std::string& error) {
  std::optional<std::pair<int64_t, int64_t>> pair;
  if (!top.Pair("os_version", 0, 1000, pair)) return false;
  if (pair) script.osVersion = std::make_pair(static_cast<uint32_t>(pair->first), static_cast<uint32_t>(pair->second));
  pair.reset();
  if (!top.Pair("phys_offset", INT32_MIN, INT32_MAX, pair)) return false;
  if (pair) script.physOffset = std::make_pair(static_cast<int32_t>(pair->first), static_cast<int32_t>(pair->second));
  if (const JsonValue* devmode = top.Take("devmode")) {
    if (!top.Expect("devmode", *devmode, JsonValue::Kind::kObject)) return false;
    ObjectReader reader(*devmode, "the script's devmode", error);
    if (!ReadDevModeMembers(reader, script.devmode) || !reader.Finish()) return false;
  }
  if (const JsonValue* settings = top.Take("settings")) {
    if (!top.Expect("settings", *settings, JsonValue::Kind::kObject)) return false;
    for (const JsonValue::Member& member : settings->members) {
      if (member.second.kind != JsonValue::Kind::kString) {
        return top.Fail("settings", "the keyword of " + ShownText(member.first) + " must be a string", member.second);
      }
      script.settings[member.first] = member.second.text;
    }
  }
  return true;
}

bool ReadScriptBody(ObjectReader& top, const std::string& folder, ReplayScript& script, std::string& error) {
  if (!ReadDevice(top, script, error)) return false;
  const JsonValue* calls = top.Take("calls");
  if (calls == nullptr) return top.FailMissing("calls");
  if (!top.Expect("calls", *calls, JsonValue::Kind::kArray) || !top.Finish()) return false;
  script.calls.resize(calls->items.size());
  for (size_t i = 0; i < calls->items.size(); ++i) {
    if (!ReadCall(calls->items[i], i, folder, script.calls[i], error)) return false;
  }
  return true;
}

}  // namespace

void DevModeValues::ApplyTo(DEVMODEW& devmode) const {
  for (const auto& [member, value] : values) member->set(devmode, value);
}

const char* CallName(const ScriptCall& call) {
  return std::visit([](const auto& fields) { return std::decay_t<decltype(fields)>::kName; }, call);
}

Result<std::vector<uint8_t>> LoadBandData(const ImageProcessingCall& call) {
  if (call.dataFile.empty()) return call.data;
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(call.dataFile);
  if (!bytes || bytes->size() == call.header.biSizeImage) return bytes;
  return Error{call.dataFile + " " + SizeMismatch(bytes->size(), call.header.biSizeImage) +
               " (it changed after the script was read)"};
}

Result<ReplayScript> ParseReplayScript(std::string_view text, const std::string& folder) {
  const Result<JsonValue> parsed = ParseJson(text);
  if (!parsed) return parsed.failure();
  const JsonValue& document = *parsed;
  if (!document.IsObject()) return Error{"the script must be a JSON object" + Where(document)};
  // The readers below say what is wrong in `error`, naming the call and the field.
  std::string error;
  ReplayScript script;
  ObjectReader top(document, "the script", error);
  if (!ReadScriptBody(top, folder, script, error)) return Error{error};
  return script;
}

}  // namespace kav::tools
