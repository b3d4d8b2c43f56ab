#include "kavhost/replay_script.h"

#include <filesystem>
#include <set>

#include "kavhost/band_builder.h"
#include "support/files.h"
#include "support/hex.h"
#include "support/json.h"
#include "support/shown_text.h"

namespace kav::tools {
namespace {

// The largest band a script may give, in bytes.
constexpr int64_t kMaxBandBytes = int64_t{256} << 20;

constexpr const char* kDevModeMembers[] = {"dmColor",       "dmPaperWidth",  "dmPaperLength", "dmPrintQuality",
                                           "dmYResolution", "dmOrientation", "dmPaperSize"};

struct CallKindName {
  ScriptCall::Kind kind;
  const char* name;
};

constexpr CallKindName kCallNames[] = {
    {ScriptCall::Kind::kCommandCallback, "CommandCallback"},
    {ScriptCall::Kind::kImageProcessing, "ImageProcessing"},
    {ScriptCall::Kind::kSetDevMode, "SetDevMode"},
    {ScriptCall::Kind::kSetSetting, "SetSetting"},
    {ScriptCall::Kind::kFailWrite, "FailWrite"},
    {ScriptCall::Kind::kFailSettings, "FailSettings"},
    {ScriptCall::Kind::kResetDevice, "ResetDevice"},
};

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

bool ReadDevModeMembers(ObjectReader& reader, DevModeFields& fields) {
  for (const char* name : kDevModeMembers) {
    std::optional<int64_t> value;
    if (!reader.Integer(name, -32768, 32767, false, value)) return false;
    if (value) fields.values[name] = static_cast<short>(*value);
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

bool ReadBandData(ObjectReader& reader, const std::string& folder, ScriptCall& call) {
  const JsonValue* hex = reader.Take("data_hex");
  const JsonValue* file = reader.Take("data_file");
  if (hex != nullptr && file != nullptr) return reader.Fail("data_file", "given together with data_hex", *file);
  if (hex == nullptr && file == nullptr) return reader.FailMissing("data_hex");
  std::string why;
  if (hex != nullptr) {
    if (!reader.Expect("data_hex", *hex, JsonValue::Kind::kString)) return false;
    if (!DecodeHex(hex->text, call.data, why)) return reader.Fail("data_hex", why, *hex);
    if (call.data.size() != call.sizeImage)
      return reader.Fail("data_hex", SizeMismatch(call.data.size(), call.sizeImage), *hex);
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
  if (*size != call.sizeImage) return reader.Fail("data_file", SizeMismatch(*size, call.sizeImage), *file);
  return true;
}

bool ReadImageCall(ObjectReader& reader, const std::string& folder, ScriptCall& call) {
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
  call.id = static_cast<uint32_t>(*callback);
  call.bitCount = static_cast<uint16_t>(*bits);
  call.width = static_cast<int32_t>(*width);
  call.height = static_cast<int32_t>(*height);
  // The host's rows: each at least the pixels' bytes; by default padded to 4 bytes.
  const int64_t pixelBytes = (*width * *bits + 7) / 8 * *height;
  const int64_t padded = int64_t{BandStride(static_cast<uint32_t>(*width), call.bitCount)} * *height;
  if (!sizeImage && padded > kMaxBandBytes) {
    return reader.Fail("width", "and height make a band larger than " + std::to_string(kMaxBandBytes) + " bytes",
                       *reader.object().Find("width"));
  }
  const int64_t size = sizeImage ? *sizeImage : padded;
  if (size < pixelBytes) {
    return reader.Fail("size_image", "is smaller than the " + std::to_string(pixelBytes) + " bytes of the rows' pixels",
                       *reader.object().Find("size_image"));
  }
  call.sizeImage = static_cast<uint32_t>(size);
  if (offset) {
    call.offsetX = static_cast<int32_t>(offset->first);
    call.offsetY = static_cast<int32_t>(offset->second);
  }
  call.blank = blank.value_or(false);
  return ReadBandData(reader, folder, call);
}

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
  const CallKindName* known = nullptr;
  for (const CallKindName& entry : kCallNames) {
    if (name->text == entry.name) known = &entry;
  }
  if (known == nullptr) {
    error = context + ": field \"call\": unknown call " + ShownText(name->text) + Where(*name);
    return false;
  }
  call.kind = known->kind;
  ObjectReader reader(value, context + " (" + known->name + ")", error);
  reader.Take("call");
  std::optional<int64_t> number;
  std::optional<bool> flag;
  switch (call.kind) {
    case ScriptCall::Kind::kCommandCallback:
      if (!reader.Integer("id", 0, UINT32_MAX, true, number)) return false;
      call.id = static_cast<uint32_t>(*number);
      break;
    case ScriptCall::Kind::kImageProcessing:
      if (!ReadImageCall(reader, folder, call)) return false;
      break;
    case ScriptCall::Kind::kSetDevMode:
      if (!ReadDevModeMembers(reader, call.devmode) || !reader.Finish()) return false;
      if (call.devmode.values.empty()) {
        error = context + " (SetDevMode): sets no device-mode member" + Where(value);
        return false;
      }
      break;
    case ScriptCall::Kind::kSetSetting: {
      const JsonValue* feature = reader.Take("feature");
      const JsonValue* keyword = reader.Take("keyword");
      if (feature == nullptr) return reader.FailMissing("feature");
      if (!reader.Expect("feature", *feature, JsonValue::Kind::kString)) return false;
      if (keyword == nullptr) return reader.FailMissing("keyword");
      if (!keyword->IsNull() && !reader.Expect("keyword", *keyword, JsonValue::Kind::kString)) return false;
      call.feature = feature->text;
      if (!keyword->IsNull()) call.keyword = keyword->text;
      break;
    }
    case ScriptCall::Kind::kFailWrite:
      if (!reader.Integer("nth", 1, UINT32_MAX, true, number)) return false;
      call.nth = static_cast<uint32_t>(*number);
      break;
    case ScriptCall::Kind::kFailSettings:
      if (!reader.Boolean("on", true, flag)) return false;
      call.on = *flag;
      break;
    case ScriptCall::Kind::kResetDevice:
      break;
  }
  return reader.Finish();
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

const char* CallName(ScriptCall::Kind kind) {
  for (const CallKindName& entry : kCallNames) {
    if (entry.kind == kind) return entry.name;
  }
  return "?";
}

Result<std::vector<uint8_t>> LoadBandData(const ScriptCall& call) {
  if (call.dataFile.empty()) return call.data;
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(call.dataFile);
  if (!bytes || bytes->size() == call.sizeImage) return bytes;
  return Error{call.dataFile + " " + SizeMismatch(bytes->size(), call.sizeImage) +
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
