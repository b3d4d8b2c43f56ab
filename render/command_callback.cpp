#include "render/command_callback.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "render/image_record.h"
#include "render/page_placement.h"
#include "render/printer_language.h"
#include "render/render_plugin.h"

namespace kav {
namespace {

// Room the host has for a feature's option keyword, NUL included.
constexpr DWORD kKeywordSize = 20;

// The current option keyword of `feature`, read into `buffer`. The buffer is
// cleared first and the keyword ends at its NUL or at the buffer's end, so a
// short or unterminated answer leaves nothing stale to compare; a failed read
// answers the empty keyword, which matches no option.
std::string_view ReadKeyword(const SpoolTarget& out, const char* feature, char (&buffer)[kKeywordSize]) {
  std::memset(buffer, 0, sizeof buffer);
  DWORD needed = 0;
  DWORD options = 0;
  if (FAILED(out.helper->DrvGetDriverSetting(out.pdevobj, feature, buffer, sizeof buffer, &needed, &options)))
    return {};
  return {buffer, static_cast<size_t>(std::find(buffer, buffer + kKeywordSize, '\0') - buffer)};
}

// 1 for a monochrome job, 2 for every other colour setting.
uint8_t ColorByte(const DEVMODEW& devmode) {
  return devmode.dmColor == DMCOLOR_MONOCHROME ? language::kColorByteMonochrome : language::kColorByteColor;
}

void WriteEcCommand(const SpoolTarget& out, const language::EcCommand& command) {
  const uint8_t bytes[4] = {language::kEcLead[0], language::kEcLead[1], ColorByte(*out.pdevobj->pPublicDM),
                            command.code};  // colour mode, then the command
  SpoolBytes(out, bytes, sizeof bytes);
}

void WriteSingleCommand(const SpoolTarget& out, const language::SingleCommand& command) {
  SpoolU8(out, command.code);
  if (command.code != language::kSheetSizeCode) return;
  float width = command.widthMm;
  float length = command.lengthMm;
  if (command.id == language::kCustomSheetId) {
    // Tenths of a millimetre to millimetres, in single precision.
    width = static_cast<float>(out.pdevobj->pPublicDM->dmPaperWidth) / 10.0f;
    length = static_cast<float>(out.pdevobj->pPublicDM->dmPaperLength) / 10.0f;
  }
  SpoolFloatBE(out, width);
  SpoolFloatBE(out, length);
}

void WritePagePlacement(const SpoolTarget& out, char (&keyword)[kKeywordSize], bool rotate180) {
  // "PORTRAIT" and every keyword but the landscape one place the page upright.
  const bool landscape = ReadKeyword(out, "Orientation", keyword) == "LANDSCAPE_CC270";
  // A device without its record counts as having no offset.
  const auto* pdev = static_cast<const RenderPdev*>(out.pdevobj->pdevOEM);
  const PagePlacement placement = ComputePagePlacement(*out.pdevobj->pPublicDM, pdev != nullptr ? pdev->physOffsetX : 0,
                                                       pdev != nullptr ? pdev->physOffsetY : 0, landscape, rotate180);
  SpoolBytes(out, language::kPagePlacementLead, sizeof language::kPagePlacementLead);
  SpoolBytes(out, placement.bytes, sizeof placement.bytes);
}

}  // namespace

void RunCommandCallback(const SpoolTarget& out, DWORD callbackId) {
  if (out.helper == nullptr || out.pdevobj == nullptr || out.pdevobj->pPublicDM == nullptr) return;
  char keyword[kKeywordSize];
  const bool rotate180 = ReadKeyword(out, "Rotation", keyword) == "TRUE";
  if (const auto* ec = language::FindCommand(language::kEcCommands, callbackId)) {
    WriteEcCommand(out, *ec);
  } else if (const auto* single = language::FindCommand(language::kSingleCommands, callbackId)) {
    WriteSingleCommand(out, *single);
  } else if (callbackId == language::kPagePlacementId) {
    WritePagePlacement(out, keyword, rotate180);
  } else if (const auto* fixed = language::FindCommand(language::kFixedCommands, callbackId)) {
    SpoolBytes(out, fixed->bytes.data(), static_cast<DWORD>(fixed->bytes.size()));
  }
}

}  // namespace kav
