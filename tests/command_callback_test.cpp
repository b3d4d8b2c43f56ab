// Command callbacks and the page placement they send, through the loaded library.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "render_fixture.h"

namespace kav::test {
namespace {

// The printer's command codes, typed out apart from the library's own tables.
const std::map<DWORD, uint8_t> kEcCodes = {
    {200, 0x00}, {201, 0x02}, {203, 0x03}, {204, 0x14}, {205, 0x15}, {206, 0x16}, {207, 0x04},
    {208, 0x05}, {209, 0x04}, {210, 0x05}, {211, 0x01}, {212, 0x0A}, {213, 0x0B},
};
const std::map<DWORD, uint8_t> kSingleCodes = {
    {220, 0x03}, {221, 0x07}, {222, 0x05}, {223, 0x0B}, {224, 0x09}, {225, 0x0F}, {226, 0x0D}, {227, 0x2B},
    {228, 0x25}, {229, 0x27}, {230, 0x23}, {231, 0x2D}, {232, 0x21}, {233, 0x17}, {234, 0x2F}, {235, 0x31},
    {236, 0x3D}, {237, 0x1F}, {238, 0x5F}, {239, 0x61}, {240, 0x67}, {241, 0x3F}, {245, 0x63}, {246, 0x47},
    {247, 0x49}, {248, 0x51}, {300, 0x69}, {301, 0x6B}, {302, 0x6D}, {303, 0x6F}, {304, 0x5D}, {305, 0x55},
    {306, 0x19}, {307, 0x53}, {308, 0x3B}, {309, 0x79}, {310, 0x33}, {311, 0x35}, {312, 0x37}, {313, 0x45},
    {314, 0x73}, {315, 0x75}, {316, 0x77}, {317, 0x57}, {318, 0x59}, {319, 0x4B}, {320, 0x4D}, {321, 0x5B},
    {322, 0x15}, {323, 0x51}, {324, 0x51}, {325, 0x51}, {326, 0x51}, {327, 0x51}, {328, 0x51},
};

// The A4 portrait page at 600 dpi with the printable area 100 pixels in.
const Bytes kA4Portrait = Hex("3DF5C28F 00000000 00000000 BDF5C28F 41400000 444F7333");
// The same page turned by each of the two settings the plug-in reads.
const Bytes kA4Rotated = Hex("BDF5C28F 00000000 00000000 3DF5C28F 4411CCCD 41400000");
const Bytes kA4Landscape = Hex("00000000 3DF5C28F 3DF5C28F 00000000 41400000 41400000");

class CommandTest : public RenderTest {
 protected:
  // Runs one command and checks the answer every command gives.
  std::vector<Bytes> Run(DWORD id) {
    helper().ClearWrites();
    helper().ClearSettingReads();
    INT result = 77;
    EXPECT_EQ(session.Command(id, &result), S_OK) << id;
    EXPECT_EQ(result, 0) << id;
    return helper().writes();
  }

  // The 24 bytes after "Aa" of command 250.
  Bytes Placement() {
    const std::vector<Bytes> writes = Run(250);
    if (writes.size() != 2) {
      ADD_FAILURE() << "command 250 made " << writes.size() << " writes";
      return {};
    }
    EXPECT_TRUE(SameBytes(writes[0], Hex("41 61")));
    return writes[1];
  }

  void SetDevice(short paperWidth, short paperLength, short dpi, LONG offsetX, LONG offsetY) {
    session.devmode().dmPaperWidth = paperWidth;
    session.devmode().dmPaperLength = paperLength;
    session.devmode().dmPrintQuality = dpi;
    session.gdiInfo().ptlPhysOffset = {offsetX, offsetY};
    ASSERT_EQ(session.EnableDevice(), S_OK);
  }

  void SetFlags(bool landscape, bool rotated) {
    helper().SetSetting("Orientation", landscape ? "LANDSCAPE_CC270" : "PORTRAIT");
    helper().SetSetting("Rotation", rotated ? "TRUE" : "FALSE");
  }
};

// Each write call separately, for the device mode given.
TEST_F(CommandTest, CommandsWriteTheirBytesCallByCall) {
  const struct {
    DWORD id;
    short dmColor, paperWidth, paperLength;
    std::vector<const char*> writes;
  } cases[] = {
      {204, 1, 2100, 2970, {"45 63 01 14"}},  // monochrome
      {204, 2, 2100, 2970, {"45 63 02 14"}},
      {204, 0, 2100, 2970, {"45 63 02 14"}},
      {227, 2, 2100, 2970, {"2B"}},
      {248, 2, 2100, 2970, {"51", "43 52 00 00", "43 94 80 00"}},  // 210.0 x 297.0
      {248, 2, 2159, 2794, {"51", "43 57 E6 66", "43 8B B3 33"}},  // 215.9 x 279.4, single precision
      // Fixed sheets whatever the device mode says.
      {323, 2, 1000, 1000, {"51", "43 94 80 00", "44 61 00 00"}},  // 297 x 900
      {324, 2, 1000, 1000, {"51", "43 94 80 00", "44 96 00 00"}},  // 297 x 1200
      {325, 2, 1000, 1000, {"51", "43 52 00 00", "44 61 00 00"}},  // 210 x 900
      {326, 2, 1000, 1000, {"51", "42 E4 00 00", "43 22 00 00"}},  // 114 x 162
      {327, 2, 1000, 1000, {"51", "42 C4 00 00", "43 14 00 00"}},  // 98 x 148
      {328, 2, 1000, 1000, {"51", "42 F0 00 00", "43 6B 00 00"}},  // 120 x 235
      {260, 2, 2100, 2970, {"46 42 45 44"}},
      {270, 2, 2100, 2970, {"45 42"}},
  };
  for (const auto& c : cases) {
    session.devmode().dmColor = c.dmColor;
    session.devmode().dmPaperWidth = c.paperWidth;
    session.devmode().dmPaperLength = c.paperLength;
    const std::vector<Bytes> writes = Run(c.id);
    ASSERT_EQ(writes.size(), c.writes.size()) << c.id;
    for (size_t i = 0; i < writes.size(); ++i) EXPECT_TRUE(SameBytes(writes[i], Hex(c.writes[i]))) << c.id;
  }
}

TEST_F(CommandTest, IdsWithoutACommandWriteNothingButStillReadRotation) {
  helper().SetSetting("Rotation", "TRUE");
  for (DWORD id : {249u, 199u, 329u, 202u, 242u, 243u, 244u, 0u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(Run(id).empty()) << id;
    EXPECT_EQ(helper().settingReads(), std::vector<std::string>{"Rotation"}) << id;
  }
}

// Every id from 0 to 400 against the codes above: which ids write, in
// how many calls of which sizes, and what each read.
TEST_F(CommandTest, SweepOfAllIdsMatchesTheTable) {
  for (DWORD id = 0; id <= 400; ++id) {
    const std::vector<Bytes> writes = Run(id);
    std::vector<std::string> reads{"Rotation"};
    if (const auto ec = kEcCodes.find(id); ec != kEcCodes.end()) {
      ASSERT_EQ(writes.size(), 1u) << id;
      EXPECT_TRUE(SameBytes(writes[0], Bytes{0x45, 0x63, 0x02, ec->second})) << id;
    } else if (const auto single = kSingleCodes.find(id); single != kSingleCodes.end()) {
      ASSERT_EQ(writes.size(), single->second == 0x51 ? 3u : 1u) << id;
      EXPECT_TRUE(SameBytes(writes[0], Bytes{single->second})) << id;
      for (size_t i = 1; i < writes.size(); ++i) EXPECT_EQ(writes[i].size(), 4u) << id;
    } else if (id == 250) {
      ASSERT_EQ(writes.size(), 2u);
      EXPECT_TRUE(SameBytes(writes[0], Hex("41 61")));
      EXPECT_EQ(writes[1].size(), 24u);
      reads.push_back("Orientation");
    } else if (id == 260 || id == 270) {
      ASSERT_EQ(writes.size(), 1u) << id;
      EXPECT_EQ(writes[0].size(), id == 260 ? 4u : 2u) << id;
    } else {
      EXPECT_TRUE(writes.empty()) << id;
    }
    EXPECT_EQ(helper().settingReads(), reads) << id;
  }
}

TEST_F(CommandTest, A4At600DpiInAllFourPlacements) {
  const struct {
    bool landscape, rotated;
    const char* bytes;
  } cases[] = {
      {false, false, "3DF5C28F 00000000 00000000 BDF5C28F 41400000 444F7333"},
      {false, true, "BDF5C28F 00000000 00000000 3DF5C28F 4411CCCD 41400000"},
      {true, false, "00000000 3DF5C28F 3DF5C28F 00000000 41400000 41400000"},
      {true, true, "00000000 BDF5C28F BDF5C28F 00000000 4411CCCD 444F7333"},
  };
  for (const auto& c : cases) {
    SetFlags(c.landscape, c.rotated);
    EXPECT_TRUE(SameBytes(Placement(), Hex(c.bytes))) << c.landscape << c.rotated;
    EXPECT_EQ(helper().settingReads(), (std::vector<std::string>{"Rotation", "Orientation"}));
  }
}

TEST_F(CommandTest, LetterAt300DpiInAllFourPlacements) {
  // 2550 by 3300 pixels, the printable area 99 across and 118 down.
  SetDevice(2159, 2794, 300, 99, 118);
  const struct {
    bool landscape, rotated;
    const char* bytes;
  } cases[] = {
      {false, false, "3E75C28F 00000000 00000000 BE75C28F 41BE147B 443EEB85"},
      {false, true, "BE75C28F 00000000 00000000 3E75C28F 44130F5C 41E28F5C"},
      {true, false, "00000000 3E75C28F 3E75C28F 00000000 41E28F5C 41BE147B"},
      {true, true, "00000000 BE75C28F BE75C28F 00000000 4411EB85 44400F5C"},
  };
  for (const auto& c : cases) {
    SetFlags(c.landscape, c.rotated);
    EXPECT_TRUE(SameBytes(Placement(), Hex(c.bytes))) << c.landscape << c.rotated;
  }
}

// The pixel numerator W·dpi·10 is a multiple of 10, so the largest fraction a
// sheet extent can have is 2530/2540; it is dropped, never rounded up (a
// half-pixel bias would make 255 tenths at 253 dpi 254 pixels, not 253).
TEST_F(CommandTest, SheetExtentsAreTruncatedUpToTheLastFraction) {
  SetDevice(255, 255, 253, 0, 0);
  SetFlags(false, false);
  EXPECT_TRUE(SameBytes(Placement(), Hex("3E91B51F 00000000 00000000 BE91B51F 00000000 42900000")));
  SetFlags(false, true);
  EXPECT_TRUE(SameBytes(Placement(), Hex("BE91B51F 00000000 00000000 3E91B51F 42900000 00000000")));
}

TEST_F(CommandTest, OnlyThePrintQualityGivesTheResolution) {
  for (short y : {short{300}, short{1200}, short{0}, short{-4}}) {
    session.devmode().dmYResolution = y;
    EXPECT_TRUE(SameBytes(Placement(), kA4Portrait)) << y;
  }
}

TEST_F(CommandTest, OnlyTheExactKeywordTurnsThePage) {
  const struct {
    const char* setting;
    const char* keyword;
    const Bytes& turned;
    std::vector<const char*> others;  // all of them portrait
  } cases[] = {
      {"Rotation", "TRUE", kA4Rotated, {"TRUEX", "TRU", "true", "FALSE", "", " TRUE"}},
      {"Orientation",
       "LANDSCAPE_CC270",
       kA4Landscape,
       {"PORTRAIT", "LANDSCAPE", "LANDSCAPE_CC90", "LANDSCAPE_CC2700", "landscape_cc270", ""}},
  };
  for (const auto& c : cases) {
    helper().SetSetting(c.setting, c.keyword);
    EXPECT_TRUE(SameBytes(Placement(), c.turned)) << c.setting;
    for (const char* keyword : c.others) {
      helper().SetSetting(c.setting, keyword);
      EXPECT_TRUE(SameBytes(Placement(), kA4Portrait)) << c.setting << " " << keyword;
    }
    helper().RemoveSetting(c.setting);
  }
}

TEST_F(CommandTest, FailedSettingReadsCountAsUnrotatedPortrait) {
  helper().SetSetting("Orientation", "LANDSCAPE_CC270");
  helper().SetSetting("Rotation", "TRUE");
  helper().FailSettings(true);
  EXPECT_TRUE(SameBytes(Placement(), kA4Portrait));
  EXPECT_EQ(helper().settingReads(), (std::vector<std::string>{"Rotation", "Orientation"}));
  helper().FailSettings(false);

  // The first read's keyword is not taken for the second, failed, one.
  helper().SetSetting("Rotation", "LANDSCAPE_CC270");
  helper().RemoveSetting("Orientation");
  EXPECT_TRUE(SameBytes(Placement(), kA4Portrait));
}

TEST_F(CommandTest, KeywordsEndAtTheirNulOrTheBuffersEnd) {
  // Twenty bytes and no NUL: a keyword of twenty letters, which is no option.
  helper().ScriptSetting("Rotation", "TRUE" + std::string(16, 'X'), S_OK);
  EXPECT_TRUE(SameBytes(Placement(), kA4Portrait));
  // A short answer without its NUL: the cleared buffer ends it.
  helper().ScriptSetting("Rotation", "TRUE", S_OK);
  EXPECT_TRUE(SameBytes(Placement(), kA4Rotated));
  helper().ScriptSetting("Rotation", std::string("TRUE\0XYZ", 8), S_OK);
  EXPECT_TRUE(SameBytes(Placement(), kA4Rotated));
  helper().ScriptSetting("Rotation", "", S_OK);
  helper().ScriptSetting("Orientation", "LANDSCAPE_CC270", S_OK);
  EXPECT_TRUE(SameBytes(Placement(), kA4Landscape));
  helper().ScriptSetting("Orientation", "LANDSCAPE_CC270" + std::string(5, 'X'), S_OK);
  EXPECT_TRUE(SameBytes(Placement(), kA4Portrait));
}

TEST_F(CommandTest, FailedReadsDoNotCountWhatTheyLeftInTheBuffer) {
  helper().ScriptSetting("Rotation", std::string("TRUE\0", 5), E_FAIL);
  helper().ScriptSetting("Orientation", std::string("LANDSCAPE_CC270\0", 16), E_FAIL);
  EXPECT_TRUE(SameBytes(Placement(), kA4Portrait));
  EXPECT_EQ(helper().settingReads(), (std::vector<std::string>{"Rotation", "Orientation"}));
}

// Values no real device gives still yield a finite, well-defined matrix.
TEST_F(CommandTest, DegenerateDevicesStillGetAFiniteMatrix) {
  auto finite = [](const Bytes& placement) {
    if (placement.size() != 24) return false;
    for (size_t i = 0; i < 24; i += 4) {
      const uint32_t bits = uint32_t{placement[i]} << 24 | uint32_t{placement[i + 1]} << 16 |
                            uint32_t{placement[i + 2]} << 8 | placement[i + 3];
      if (!std::isfinite(std::bit_cast<float>(bits))) return false;
    }
    return true;
  };
  // No dot count: the fallback resolution of 600 dpi.
  for (short dpi : {short{0}, short{-3}, short{-1}}) {
    session.devmode().dmPrintQuality = dpi;
    EXPECT_TRUE(SameBytes(Placement(), kA4Portrait)) << dpi;
  }
  // No sheet: extents of zero, distances clamped at zero.
  SetDevice(0, -10, 600, 100, 100);
  SetFlags(false, false);
  EXPECT_TRUE(SameBytes(Placement(), Hex("3DF5C28F 00000000 00000000 BDF5C28F 41400000 00000000")));
  SetFlags(true, true);
  EXPECT_TRUE(SameBytes(Placement(), Hex("00000000 BDF5C28F BDF5C28F 00000000 00000000 00000000")));

  // A printable area beyond the sheet (4960 by 7015 pixels).
  SetDevice(2100, 2970, 600, 5000, 8000);
  const struct {
    bool landscape, rotated;
    const char* bytes;
  } beyond[] = {
      {false, false, "3DF5C28F 00000000 00000000 BDF5C28F 44160000 00000000"},
      {false, true, "BDF5C28F 00000000 00000000 3DF5C28F 00000000 44700000"},
      {true, false, "00000000 3DF5C28F 3DF5C28F 00000000 44700000 44160000"},
      {true, true, "00000000 BDF5C28F BDF5C28F 00000000 00000000 4371CCCD"},
  };
  for (const auto& c : beyond) {
    SetFlags(c.landscape, c.rotated);
    EXPECT_TRUE(SameBytes(Placement(), Hex(c.bytes))) << c.landscape << c.rotated;
  }

  // The largest sheet at the largest resolution: 4227072 pixels, not a
  // product wrapped at 32 bits.
  SetDevice(32767, 32767, 32767, 0, 0);
  SetFlags(false, true);
  EXPECT_TRUE(SameBytes(Placement(), Hex("BB100120 00000000 00000000 3B100120 46112122 00000000")));
  for (LONG offset : {LONG{-1}, LONG{0x7FFFFFFF}}) {
    SetDevice(2100, 2970, 600, offset, offset);
    for (bool landscape : {false, true}) {
      for (bool rotated : {false, true}) {
        SetFlags(landscape, rotated);
        EXPECT_TRUE(finite(Placement())) << offset << landscape << rotated;
      }
    }
  }
}

TEST_F(CommandTest, PlacementWithoutTheDeviceRecordAssumesNoOffset) {
  session.DisableDevice();
  ASSERT_EQ(session.devobj().pdevOEM, nullptr);
  EXPECT_TRUE(SameBytes(Placement(), Hex("3DF5C28F 00000000 00000000 BDF5C28F 00000000 44527333")));
}

TEST_F(CommandTest, NoDeviceOrDeviceModeMeansNothingReadOrWritten) {
  INT result = 77;
  EXPECT_EQ(session.plugin()->CommandCallback(nullptr, 204, 0, nullptr, &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(helper().writes().empty());
  EXPECT_TRUE(helper().settingReads().empty());

  session.devobj().pPublicDM = nullptr;
  for (DWORD id : {204u, 227u, 248u, 250u, 260u, 329u}) {
    EXPECT_TRUE(Run(id).empty()) << id;
    EXPECT_TRUE(helper().settingReads().empty()) << id;
  }
  session.devobj().pPublicDM = &session.devmode();
}

TEST_F(CommandTest, NoHelperMeansNothingWritten) {
  ASSERT_EQ(session.plugin()->DisableDriver(), S_OK);
  for (DWORD id : {204u, 248u, 250u, 270u}) EXPECT_TRUE(Run(id).empty()) << id;
  EXPECT_TRUE(helper().settingReads().empty());
}

TEST_F(CommandTest, AFailedWriteDoesNotStopTheNextOnes) {
  const unsigned before = helper().writeCalls();
  helper().FailWrite(1);
  const std::vector<Bytes> writes = Run(323);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_TRUE(SameBytes(Concat(writes), Hex("43 94 80 00 44 61 00 00")));
  EXPECT_EQ(helper().writeCalls() - before, 3u);
}

}  // namespace
}  // namespace kav::test
