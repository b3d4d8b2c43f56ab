#include "render/command_callback.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "render/image_record.h"
#include "render/page_placement.h"

namespace kav {
namespace {

// Ec form: "Ec", the colour byte, the command's code; ids 200 to 213.
struct EcCommand {
  DWORD id;
  uint8_t code;
};
constexpr EcCommand kEcCommands[] = {
    {200, 0x00}, {201, 0x02}, {203, 0x03}, {204, 0x14}, {205, 0x15}, {206, 0x16}, {207, 0x04},
    {208, 0x05}, {209, 0x04}, {210, 0x05}, {211, 0x01}, {212, 0x0A}, {213, 0x0B},
};

// Single form: the code byte alone, except that the sheet-size code is
// followed by the sheet's width and length in millimetres.
constexpr uint8_t kSheetSizeCode = 0x51;  // 'Q'
constexpr DWORD kCustomSheetId = 248;     // its size comes from the device mode
struct SingleCommand {
  DWORD id;
  uint8_t code;
  float widthMm = 0.0f;
  float lengthMm = 0.0f;
};
constexpr SingleCommand kSingleCommands[] = {
    {220, 0x03},
    {221, 0x07},
    {222, 0x05},
    {223, 0x0B},
    {224, 0x09},
    {225, 0x0F},
    {226, 0x0D},
    {227, 0x2B},
    {228, 0x25},
    {229, 0x27},
    {230, 0x23},
    {231, 0x2D},
    {232, 0x21},
    {233, 0x17},
    {234, 0x2F},
    {235, 0x31},
    {236, 0x3D},
    {237, 0x1F},
    {238, 0x5F},
    {239, 0x61},
    {240, 0x67},
    {241, 0x3F},
    {245, 0x63},
    {246, 0x47},
    {247, 0x49},
    {kCustomSheetId, kSheetSizeCode},  // custom sheet: size of the device mode's paper
    {300, 0x69},
    {301, 0x6B},
    {302, 0x6D},
    {303, 0x6F},
    {304, 0x5D},
    {305, 0x55},
    {306, 0x19},
    {307, 0x53},
    {308, 0x3B},
    {309, 0x79},
    {310, 0x33},
    {311, 0x35},
    {312, 0x37},
    {313, 0x45},
    {314, 0x73},
    {315, 0x75},
    {316, 0x77},
    {317, 0x57},
    {318, 0x59},
    {319, 0x4B},
    {320, 0x4D},
    {321, 0x5B},
    {322, 0x15},
    {323, kSheetSizeCode, 297.0f, 900.0f},   // fixed sheet 297 x 900 mm
    {324, kSheetSizeCode, 297.0f, 1200.0f},  // fixed sheet 297 x 1200 mm
    {325, kSheetSizeCode, 210.0f, 900.0f},   // fixed sheet 210 x 900 mm
    {326, kSheetSizeCode, 114.0f, 162.0f},   // fixed sheet 114 x 162 mm
    {327, kSheetSizeCode, 98.0f, 148.0f},    // fixed sheet 98 x 148 mm
    {328, kSheetSizeCode, 120.0f, 235.0f},   // fixed sheet 120 x 235 mm
};

// Commands that are one fixed string, written without a terminating NUL.
struct FixedCommand {
  DWORD id;
  std::string_view bytes;
};
constexpr FixedCommand kFixedCommands[] = {
    {260, "FBED"},
    {270, "EB"},
};

constexpr DWORD kPagePlacementId = 250;
constexpr char kPagePlacementLead[] = {'A', 'a'};  // the page placement matrix follows

template <typename Command, size_t count>
const Command* FindCommand(const Command (&table)[count], DWORD id) {
  const Command* found = std::find_if(table, table + count, [id](const Command& command) { return command.id == id; });
  return found != table + count ? found : nullptr;
}

// Room the host has for a feature's option keyword, NUL included.
constexpr DWORD kKeywordSize = 20;

// The current option keyword of `feature`, read into `buffer`. The buffer is
// cleared first and the keyword ends at its NUL or at the buffer's end, so a
// short or unterminated answer leaves nothing stale to compare; a failed read
// answers the empty keyword, which matches no option.
std::string_view ReadKeyword(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, const char* feature,
                             char (&buffer)[kKeywordSize]) {
  std::memset(buffer, 0, sizeof buffer);
  DWORD needed = 0;
  DWORD options = 0;
  if (FAILED(helper->DrvGetDriverSetting(pdevobj, feature, buffer, sizeof buffer, &needed, &options))) return {};
  return {buffer, static_cast<size_t>(std::find(buffer, buffer + kKeywordSize, '\0') - buffer)};
}

// 1 for a monochrome job, 2 for every other colour setting.
uint8_t ColorByte(const DEVMODEW& devmode) { return devmode.dmColor == DMCOLOR_MONOCHROME ? 1 : 2; }

void WriteEcCommand(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, const EcCommand& command) {
  const uint8_t bytes[4] = {'E', 'c', ColorByte(*pdevobj->pPublicDM), command.code};  // colour mode, then the command
  SpoolBytes(helper, pdevobj, bytes, sizeof bytes);
}

void WriteSingleCommand(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, const SingleCommand& command) {
  SpoolU8(helper, pdevobj, command.code);
  if (command.code != kSheetSizeCode) return;
  float width = command.widthMm;
  float length = command.lengthMm;
  if (command.id == kCustomSheetId) {
    // Tenths of a millimetre to millimetres, in single precision.
    width = static_cast<float>(pdevobj->pPublicDM->dmPaperWidth) / 10.0f;
    length = static_cast<float>(pdevobj->pPublicDM->dmPaperLength) / 10.0f;
  }
  SpoolFloatBE(helper, pdevobj, width);
  SpoolFloatBE(helper, pdevobj, length);
}

void WritePagePlacement(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, char (&keyword)[kKeywordSize], DWORD rotate180) {
  // "PORTRAIT" and every keyword but the landscape one place the page upright.
  const DWORD landscape = ReadKeyword(helper, pdevobj, "Orientation", keyword) == "LANDSCAPE_CC270" ? 1 : 0;
  PagePlacement placement;
  ComputePagePlacement(pdevobj, landscape, placement, rotate180);
  SpoolBytes(helper, pdevobj, kPagePlacementLead, sizeof kPagePlacementLead);
  SpoolBytes(helper, pdevobj, placement.bytes, sizeof placement.bytes);
}

}  // namespace

void RunCommandCallback(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, DWORD callbackId) {
  if (helper == nullptr || pdevobj == nullptr || pdevobj->pPublicDM == nullptr) return;
  char keyword[kKeywordSize];
  const DWORD rotate180 = ReadKeyword(helper, pdevobj, "Rotation", keyword) == "TRUE" ? 1 : 0;
  if (const EcCommand* ec = FindCommand(kEcCommands, callbackId)) {
    WriteEcCommand(helper, pdevobj, *ec);
  } else if (const SingleCommand* single = FindCommand(kSingleCommands, callbackId)) {
    WriteSingleCommand(helper, pdevobj, *single);
  } else if (callbackId == kPagePlacementId) {
    WritePagePlacement(helper, pdevobj, keyword, rotate180);
  } else if (const FixedCommand* fixed = FindCommand(kFixedCommands, callbackId)) {
    SpoolBytes(helper, pdevobj, fixed->bytes.data(), static_cast<DWORD>(fixed->bytes.size()));
  }
}

}  // namespace kav
