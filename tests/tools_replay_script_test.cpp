// The replay script: everything a script may say, and the one-line refusal
// that names the call's index and field for each rule it can break.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <variant>

#include "kavhost/replay_command.h"
#include "kavhost/replay_script.h"

namespace kav::tools {
namespace {

ReplayScript Parse(const std::string& text, const std::string& folder = ".") {
  Result<ReplayScript> script = ParseReplayScript(text, folder);
  EXPECT_TRUE(script.ok()) << script.error();
  return script ? std::move(script).value() : ReplayScript{};
}

std::string Refusal(const std::string& text) {
  const Result<ReplayScript> script = ParseReplayScript(text, ".");
  EXPECT_FALSE(script.ok()) << "accepted: " << text;
  return script ? "" : script.error();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
}

// One call inside an otherwise empty script.
std::string Call(const std::string& body) {
  return "{\"calls\": [{\"call\": \"CommandCallback\", \"id\": 1},\n" + body + "]}";
}

TEST(ReplayScriptTest, ReadsTheDeviceAndEveryCall) {
  const ReplayScript script = Parse(R"({
    "os_version": [6, 1],
    "devmode": {"dmColor": 2, "dmPaperWidth": 2100, "dmPaperLength": 2970, "dmPrintQuality": 600},
    "phys_offset": [100, -118],
    "settings": {"Orientation": "PORTRAIT", "Rotation": "FALSE"},
    "calls": [
      {"call": "CommandCallback", "id": 250},
      {"call": "ImageProcessing", "callback": 3, "bit_count": 1, "width": 9, "height": 2, "offset": [0, 600],
       "blank": true, "data_hex": "00ff0000 0102 0304"},
      {"call": "ImageProcessing", "callback": 2, "bit_count": 24, "width": 1, "height": 1, "size_image": 3,
       "data_hex": "AABBCC"},
      {"call": "SetDevMode", "dmColor": 1, "dmYResolution": -3},
      {"call": "SetSetting", "feature": "Rotation", "keyword": "TRUE"},
      {"call": "SetSetting", "feature": "Rotation", "keyword": null},
      {"call": "FailWrite", "nth": 3},
      {"call": "FailSettings", "on": true},
      {"call": "ResetDevice"}
    ]
  })");
  EXPECT_EQ(script.osVersion, std::make_pair(6u, 1u));
  DEVMODEW devmode{};
  script.devmode.ApplyTo(devmode);
  EXPECT_EQ(devmode.dmColor, 2);
  EXPECT_EQ(devmode.dmPaperWidth, 2100);
  EXPECT_EQ(devmode.dmPaperLength, 2970);
  EXPECT_EQ(devmode.dmPrintQuality, 600);
  EXPECT_EQ(devmode.dmYResolution, 0);  // not given: left as it was
  EXPECT_EQ(script.physOffset, std::make_pair(100, -118));
  EXPECT_EQ(script.settings.at("Orientation"), "PORTRAIT");
  ASSERT_EQ(script.calls.size(), 9u);
  EXPECT_EQ(std::get<CommandCallbackCall>(script.calls[0]).id, 250u);
  const auto& band = std::get<ImageProcessingCall>(script.calls[1]);
  EXPECT_EQ(band.callback, 3u);
  EXPECT_EQ(band.header.biSize, sizeof(BITMAPINFOHEADER));
  EXPECT_EQ(band.header.biWidth, 9);
  EXPECT_EQ(band.header.biHeight, 2);
  EXPECT_EQ(band.header.biBitCount, 1);
  EXPECT_EQ(band.header.biSizeImage, 8u);  // rows of 4 bytes by default
  EXPECT_EQ(band.offset.x, 0);
  EXPECT_EQ(band.offset.y, 600);
  EXPECT_TRUE(band.blank);
  EXPECT_EQ(band.data, (std::vector<uint8_t>{0, 0xFF, 0, 0, 1, 2, 3, 4}));
  const auto& colour = std::get<ImageProcessingCall>(script.calls[2]);
  EXPECT_EQ(colour.header.biSizeImage, 3u);
  EXPECT_FALSE(colour.blank);
  DEVMODEW changed{};
  changed.dmColor = 2;
  changed.dmPrintQuality = 300;
  std::get<SetDevModeCall>(script.calls[3]).devmode.ApplyTo(changed);
  EXPECT_EQ(changed.dmColor, 1);
  EXPECT_EQ(changed.dmYResolution, -3);
  EXPECT_EQ(changed.dmPrintQuality, 300);
  EXPECT_EQ(std::get<SetSettingCall>(script.calls[4]).keyword, "TRUE");
  EXPECT_FALSE(std::get<SetSettingCall>(script.calls[5]).keyword);
  EXPECT_EQ(std::get<FailWriteCall>(script.calls[6]).nth, 3u);
  EXPECT_TRUE(std::get<FailSettingsCall>(script.calls[7]).on);
  EXPECT_TRUE(std::holds_alternative<ResetDeviceCall>(script.calls[8]));
  EXPECT_STREQ(CallName(script.calls[8]), "ResetDevice");
}

// Each device-mode member a script names reaches its own field of the
// public device mode, and no other.
TEST(ReplayScriptTest, EveryDeviceModeMemberReachesItsField) {
  struct Member {
    const char* name;
    short (*get)(const DEVMODEW& devmode);
  } const members[] = {
      {"dmColor", [](const DEVMODEW& d) { return d.dmColor; }},
      {"dmPaperWidth", [](const DEVMODEW& d) { return d.dmPaperWidth; }},
      {"dmPaperLength", [](const DEVMODEW& d) { return d.dmPaperLength; }},
      {"dmPrintQuality", [](const DEVMODEW& d) { return d.dmPrintQuality; }},
      {"dmYResolution", [](const DEVMODEW& d) { return d.dmYResolution; }},
      {"dmOrientation", [](const DEVMODEW& d) { return d.dmOrientation; }},
      {"dmPaperSize", [](const DEVMODEW& d) { return d.dmPaperSize; }},
  };
  for (const Member& member : members) {
    const std::string value = std::string("\"") + member.name + "\": -32768";
    const ReplayScript script =
        Parse(R"({"devmode": {)" + value + R"(}, "calls": [{"call": "SetDevMode", )" + value + "}]}");
    DEVMODEW atStart{};
    script.devmode.ApplyTo(atStart);
    DEVMODEW byCall{};
    std::get<SetDevModeCall>(script.calls[0]).devmode.ApplyTo(byCall);
    for (const Member& other : members) {
      const short expected = &other == &member ? -32768 : 0;
      EXPECT_EQ(other.get(atStart), expected) << member.name << " at the start, read as " << other.name;
      EXPECT_EQ(other.get(byCall), expected) << member.name << " by SetDevMode, read as " << other.name;
    }
  }
}

std::string DataFileCall(const std::string& name) {
  return Call(R"({"call": "ImageProcessing", "callback": 1, "bit_count": 8, "width": 2, "height": 1, "data_file": ")" +
              name + "\"}");
}

const ImageProcessingCall& BandOf(const ReplayScript& script) { return std::get<ImageProcessingCall>(script.calls[1]); }

TEST(ReplayScriptTest, BandDataFilesAreNamedRelativeToTheScriptAndReadWhenTheCallIsMade) {
  const std::string name = "replay_script_test_band.bin";
  WriteBytes(name, "\x01\x02\x03\x04");
  const ReplayScript script = Parse(DataFileCall(name));
  const ImageProcessingCall& call = BandOf(script);
  EXPECT_TRUE(call.data.empty());  // not read yet
  const Result<std::vector<uint8_t>> band = LoadBandData(call);
  ASSERT_TRUE(band.ok()) << band.error();
  EXPECT_EQ(*band, (std::vector<uint8_t>{1, 2, 3, 4}));
  // A file that changed after the script was read is caught when the call is made.
  WriteBytes(name, "\x01\x02");
  const Result<std::vector<uint8_t>> changed = LoadBandData(call);
  ASSERT_FALSE(changed.ok());
  EXPECT_NE(changed.error().find("holds 2 bytes; size_image is 4"), std::string::npos) << changed.error();
  WriteBytes(name, "\x01\x02\x03\x04");

  const Result<ReplayScript> elsewhere = ParseReplayScript(DataFileCall(name), "no-such-folder");
  ASSERT_FALSE(elsewhere.ok());
  EXPECT_NE(elsewhere.error().find("calls[1] (ImageProcessing): field \"data_file\": cannot open no-such-folder/"),
            std::string::npos)
      << elsewhere.error();
  // A name with ':' is relative on Linux, as any name not starting at the root.
#ifndef _WIN32
  const std::string colon = "replay_script_test:band.bin";
  WriteBytes(colon, "\x05\x06\x07\x08");
  EXPECT_EQ(BandOf(Parse(DataFileCall(colon))).dataFile, "./" + colon);
  std::remove(colon.c_str());
#endif
  const std::string absolute = std::filesystem::absolute(name).generic_string();
  EXPECT_EQ(BandOf(Parse(DataFileCall(absolute), "no-such-folder")).dataFile, absolute);
  // A NUL inside the name is refused, not taken as the end of the name.
  const Result<ReplayScript> nul = ParseReplayScript(DataFileCall(name + "\\u0000.txt"), ".");
  ASSERT_FALSE(nul.ok());
  EXPECT_NE(nul.error().find("field \"data_file\": holds a NUL character"), std::string::npos) << nul.error();
  std::remove(name.c_str());
}

TEST(ReplayScriptTest, RefusalsNameTheCallAndTheField) {
  const std::string band = R"({"call": "ImageProcessing", "callback": 3, "bit_count": 1, "width": 32, "height": 1, )";
  struct Case {
    std::string script;
    std::string error;
  } cases[] = {
      {Call(band + R"("data_hex": "00"})"),
       "calls[1] (ImageProcessing): field \"data_hex\": holds 1 bytes; size_image is 4 (line 2, column 98)"},
      {Call(band + R"("size_image": 6, "data_hex": "0000"})"),
       "calls[1] (ImageProcessing): field \"data_hex\": holds 2 bytes; size_image is 6 (line 2, column 115)"},
      {Call(band + R"("size_image": 3, "data_hex": "000000"})"),
       "calls[1] (ImageProcessing): field \"size_image\": is smaller than the 4 bytes of the rows' pixels (line 2, "
       "column 100)"},
      {Call(band + R"("data_hex": "0g000000"})"),
       "calls[1] (ImageProcessing): field \"data_hex\": is not pairs of hex digits (at character 0) (line 2, column "
       "98)"},
      {Call(band + R"("data_hex": "00000000", "data_file": "x"})"),
       "calls[1] (ImageProcessing): field \"data_file\": given together with data_hex (line 2, column 123)"},
      {Call(band + "\"offset\": [1], \"data_hex\": \"00000000\"}"),
       "calls[1] (ImageProcessing): field \"offset\": must hold two whole numbers from -2147483648 to 2147483647 "
       "(line 2, column 96)"},
      {Call(band + "\"colour\": 1, \"data_hex\": \"00000000\"}"),
       "calls[1] (ImageProcessing): field \"colour\": is not a field of this entry (line 2, column 96)"},
      {Call(band + "\"blank\": 1, \"data_hex\": \"00000000\"}"),
       "calls[1] (ImageProcessing): field \"blank\": must be a boolean, not a number (line 2, column 95)"},
      {Call(R"({"call": "ImageProcessing", "callback": 3, "bit_count": 2, "width": 1, "height": 1, "data_hex": "00"})"),
       "calls[1] (ImageProcessing): field \"bit_count\": must be 1, 4, 8, 16, 24 or 32 (line 2, column 57)"},
      {Call(R"({"call": "ImageProcessing", "callback": 3, "bit_count": 1, "width": 0, "height": 1, "data_hex": "00"})"),
       "calls[1] (ImageProcessing): field \"width\": must be a whole number from 1 to 16777216 (line 2, column 69)"},
      {Call(R"({"call": "ImageProcessing", "callback": 3, "bit_count": 1, "height": 1, "data_hex": "00"})"),
       "calls[1] (ImageProcessing): field \"width\" is missing (line 2, column 1)"},
      {Call(R"({"call": "CommandCallback", "id": -1})"),
       "calls[1] (CommandCallback): field \"id\": must be a whole number from 0 to 4294967295 (line 2, column 35)"},
      {Call(R"({"call": "CommandCallback", "id": 2.5})"),
       "calls[1] (CommandCallback): field \"id\": must be a whole number from 0 to 4294967295 (line 2, column 35)"},
      {Call(R"({"call": "Print"})"), "calls[1]: field \"call\": unknown call \"Print\" (line 2, column 10)"},
      {Call(R"({"id": 3})"), "calls[1]: field \"call\" must name the call (line 2, column 1)"},
      {Call("[]"), "calls[1]: must be an object (line 2, column 1)"},
      {Call(R"({"call": "FailWrite", "nth": 0})"),
       "calls[1] (FailWrite): field \"nth\": must be a whole number from 1 to 4294967295 (line 2, column 30)"},
      {Call(R"({"call": "FailSettings"})"), "calls[1] (FailSettings): field \"on\" is missing (line 2, column 1)"},
      {Call(R"({"call": "SetDevMode"})"), "calls[1] (SetDevMode): sets no device-mode member (line 2, column 1)"},
      {Call(R"({"call": "SetDevMode", "dmColor": 40000})"),
       "calls[1] (SetDevMode): field \"dmColor\": must be a whole number from -32768 to 32767 (line 2, column 35)"},
      {Call(R"({"call": "SetSetting", "feature": "Rotation"})"),
       "calls[1] (SetSetting): field \"keyword\" is missing (line 2, column 1)"},
      {Call(R"({"call": "ResetDevice", "now": true})"),
       "calls[1] (ResetDevice): field \"now\": is not a field of this entry (line 2, column 32)"},
      {R"({"calls": [], "devmode": {"dmColour": 1}})",
       "the script's devmode: field \"dmColour\": is not a field of this entry (line 1, column 39)"},
      {R"({"calls": [], "settings": {"Rotation": true}})",
       "the script: field \"settings\": the keyword of \"Rotation\" must be a string (line 1, column 40)"},
      {R"({"calls": [], "os_version": [6]})",
       "the script: field \"os_version\": must hold two whole numbers from 0 to 1000 (line 1, column 29)"},
      {R"({"calls": {}})", "the script: field \"calls\": must be an array, not an object (line 1, column 11)"},
      {R"({"call": []})", "the script: field \"calls\" is missing (line 1, column 1)"},
      {R"([1, 2])", "the script must be a JSON object (line 1, column 1)"},
      {"{\"calls\": [\n  {\"call\": \"ResetDevice\",}\n]}",
       "line 2, column 26 (byte 37): expected a member name in double quotes"},
  };
  for (const Case& c : cases) EXPECT_EQ(Refusal(c.script), c.error);
}

TEST(ReplayScriptTest, TheWriteListShowsEveryCallAndMarksRefusedOnes) {
  const uint8_t command[] = {0x45, 0x63, 0x01, 0x14};
  const uint8_t refused[] = {0x2B};
  EXPECT_EQ(WriteListLine(command, sizeof command, true), "4 45630114\n");
  EXPECT_EQ(WriteListLine(refused, sizeof refused, false), "1 2b failed\n");
  EXPECT_EQ(WriteListLine(nullptr, 0, true), "0 \n");
}

}  // namespace
}  // namespace kav::tools
