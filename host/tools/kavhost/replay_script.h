// The replay script of `kavhost replay`: the device to start with and a list
// of host calls, read from JSON and checked whole before any call is made.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "host/result.h"
#include "platform/win32.h"

namespace kav::tools {

// A public device-mode member a script may set: its name in the script and
// where its value goes.
struct DevModeMember {
  const char* name;
  void (*set)(DEVMODEW& devmode, short value);
};

// The device-mode members a script gives, each with its value.
struct DevModeValues {
  std::vector<std::pair<const DevModeMember*, short>> values;

  void ApplyTo(DEVMODEW& devmode) const;
};

// One struct per call a script may make, each with its name in the script.
struct CommandCallbackCall {
  static constexpr const char* kName = "CommandCallback";
  uint32_t id = 0;
};

struct ImageProcessingCall {
  static constexpr const char* kName = "ImageProcessing";
  uint32_t callback = 0;
  BITMAPINFOHEADER header{};  // as the host passes the band: size, bits, biSizeImage
  POINT offset{};
  bool blank = false;
  std::vector<uint8_t> data;  // from data_hex
  std::string dataFile;       // else read from this file when the call is made
};

struct SetDevModeCall {
  static constexpr const char* kName = "SetDevMode";
  DevModeValues devmode;
};

// No keyword removes the setting, so its reads fail.
struct SetSettingCall {
  static constexpr const char* kName = "SetSetting";
  std::string feature;
  std::optional<std::string> keyword;
};

struct FailWriteCall {
  static constexpr const char* kName = "FailWrite";
  uint32_t nth = 0;
};

struct FailSettingsCall {
  static constexpr const char* kName = "FailSettings";
  bool on = false;
};

struct ResetDeviceCall {
  static constexpr const char* kName = "ResetDevice";
};

using ScriptCall = std::variant<CommandCallbackCall, ImageProcessingCall, SetDevModeCall, SetSettingCall, FailWriteCall,
                                FailSettingsCall, ResetDeviceCall>;

struct ReplayScript {
  std::optional<std::pair<uint32_t, uint32_t>> osVersion;
  DevModeValues devmode;
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
// which must still hold biSizeImage bytes.
Result<std::vector<uint8_t>> LoadBandData(const ImageProcessingCall& call);

const char* CallName(const ScriptCall& call);

}  // namespace kav::tools
