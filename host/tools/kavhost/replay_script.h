// The replay script of `kavhost replay`: the device to start with and a list
// of host calls, read from JSON and checked whole before any call is made.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/result.h"

namespace kav::tools {

// Public device-mode members a script may set.
struct DevModeFields {
  std::map<std::string, short> values;  // "dmColor" -> 2, ...
};

struct ScriptCall {
  enum class Kind {
    kCommandCallback,
    kImageProcessing,
    kSetDevMode,
    kSetSetting,
    kFailWrite,
    kFailSettings,
    kResetDevice
  };
  Kind kind = Kind::kCommandCallback;
  uint32_t id = 0;  // CommandCallback id, or ImageProcessing callback id
  // ImageProcessing
  uint16_t bitCount = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t sizeImage = 0;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  bool blank = false;
  std::vector<uint8_t> data;  // from data_hex
  std::string dataFile;       // else read from this file when the call is made
  // SetDevMode
  DevModeFields devmode;
  // SetSetting: no keyword removes the setting, so its reads fail
  std::string feature;
  std::optional<std::string> keyword;
  // FailWrite, FailSettings
  uint32_t nth = 0;
  bool on = false;
};

struct ReplayScript {
  std::optional<std::pair<uint32_t, uint32_t>> osVersion;
  DevModeFields devmode;
  std::optional<std::pair<int32_t, int32_t>> physOffset;
  std::map<std::string, std::string> settings;
  std::vector<ScriptCall> calls;
};

// The largest script read; band data beyond a few megabytes belongs in
// data files. The JSON reader bounds the number of values on its own.
inline constexpr uint64_t kMaxScriptBytes = uint64_t{16} << 20;

// Reads and checks a script; band data files are named relative to
// `folder` unless their names start at the root, and are read only when
// their call is made. A script that breaks a rule is refused with one line
// naming the call's index and field.
Result<ReplayScript> ParseReplayScript(std::string_view text, const std::string& folder);

// The band of an ImageProcessing call: its data_hex bytes or its data file,
// which must still hold size_image bytes.
Result<std::vector<uint8_t>> LoadBandData(const ScriptCall& call);

const char* CallName(ScriptCall::Kind kind);

}  // namespace kav::tools
