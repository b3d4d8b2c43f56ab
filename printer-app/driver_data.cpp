#include "driver_data.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <vector>

#include "host/printer_description.h"

namespace kav::app {
namespace {

using host::ColorMode;
using host::PrinterDescription;

// The media names of the description, which the driver data points into for
// as long as the server runs, with the margins they share.
struct Offer {
  std::vector<std::string> media;  // sheets, then the custom range's two ends
  std::string defaultMedia;
  int defaultWidth = 0;  // hundredths of a millimetre
  int defaultLength = 0;
  int leftRight = 0;
  int bottomTop = 0;
};
Offer offer;

int HundredthsOfTenths(int tenths) { return tenths * 10; }

// Master units as hundredths of a millimetre, rounded up: PAPPL's own count
// of such a margin in pixels then comes to the description's.
int MarginHundredths(int64_t length, uint32_t units) { return static_cast<int>((length * 2540 + units - 1) / units); }

// The PWG name of a sheet: the standard one of its size, else one made of
// its keyword ("om_you3_98x148mm").
std::string MediaName(const host::Sheet& sheet) {
  const int width = HundredthsOfTenths(sheet.widthTenths);
  const int length = HundredthsOfTenths(sheet.lengthTenths);
  const pwg_media_t* standard = pwgMediaForSize(width, length);
  if (standard != nullptr && std::strncmp(standard->pwg, "custom_", 7) != 0 &&
      (standard->width + 5) / 10 == sheet.widthTenths && (standard->length + 5) / 10 == sheet.lengthTenths) {
    return standard->pwg;
  }
  std::string name;
  for (char c : sheet.keyword) name += c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool inches = width % 635 == 0 && length % 635 == 0;
  char keyword[128];
  pwgFormatSizeName(keyword, sizeof keyword, inches ? "oe" : "om", name.c_str(), width, length, nullptr);
  return keyword;
}

std::string CustomEnd(const char* end, const host::Paper& size) {
  char keyword[128];
  pwgFormatSizeName(keyword, sizeof keyword, "custom", end, HundredthsOfTenths(size.widthTenths),
                    HundredthsOfTenths(size.lengthTenths), nullptr);
  return keyword;
}

void WidenMargins(const host::Sheet& sheet, uint32_t units) {
  offer.leftRight = std::max({offer.leftRight, MarginHundredths(sheet.originX, units),
                              MarginHundredths(sheet.width - sheet.originX - sheet.areaWidth, units)});
  offer.bottomTop = std::max({offer.bottomTop, MarginHundredths(sheet.originY, units),
                              MarginHundredths(sheet.length - sheet.originY - sheet.areaLength, units)});
}

// The driver renders in every colour mode and a PAPPL printer holds only so
// many resolutions and media: a description that asks for more is refused
// rather than printed by in part.
Status CheckPrintable(const PrinterDescription& description) {
  for (ColorMode mode : {ColorMode::kMono, ColorMode::kGray, ColorMode::kColor}) {
    if (description.ColorModeOf(mode) == nullptr) {
      return Error{std::string("the driver prints in every colour mode; the description has no ") +
                   host::ModeName(mode) + " mode"};
    }
  }
  if (description.resolutions().size() > PAPPL_MAX_RESOLUTION) {
    return Error{"the description offers more than the " + std::to_string(PAPPL_MAX_RESOLUTION) +
                 " resolutions a printer may have"};
  }
  if (description.sheets().size() + 2 > PAPPL_MAX_MEDIA) {
    return Error{"the description offers more sheets than the " + std::to_string(PAPPL_MAX_MEDIA - 2) +
                 " a printer may have"};
  }
  return {};
}

void MakeOffer(const PrinterDescription& description) {
  offer = Offer{};
  const uint32_t units = description.masterUnits();
  std::string defaultSheet;
  for (const host::Feature& feature : description.features()) {
    if (feature.keyword == "PaperSize") defaultSheet = feature.defaultOption;
  }
  // Sheets of one size (an envelope and its flap variant) are one medium,
  // named by the first of them, which is the sheet the host prints it as.
  std::vector<std::pair<int, int>> sizes;  // tenths of a millimetre, by medium
  for (const host::Sheet& sheet : description.sheets()) {
    WidenMargins(sheet, units);
    const std::pair<int, int> size{sheet.widthTenths, sheet.lengthTenths};
    auto medium = std::find(sizes.begin(), sizes.end(), size);
    if (medium == sizes.end()) {
      medium = sizes.insert(sizes.end(), size);
      offer.media.push_back(MediaName(sheet));
    }
    if (sheet.keyword == defaultSheet) {
      offer.defaultMedia = offer.media[static_cast<size_t>(medium - sizes.begin())];
      offer.defaultWidth = HundredthsOfTenths(sheet.widthTenths);
      offer.defaultLength = HundredthsOfTenths(sheet.lengthTenths);
    }
  }
  if (const auto& custom = description.customSize()) {
    for (const host::Paper& end : {custom->smallest, custom->largest}) {
      if (const auto sheet = description.SheetOf(end)) WidenMargins(*sheet, units);
    }
    offer.media.push_back(CustomEnd("min", custom->smallest));
    offer.media.push_back(CustomEnd("max", custom->largest));
  }
}

}  // namespace

Status UseDriverDescription(const std::string& path) {
  const std::string file = path.empty() ? host::ProgramDescription() : path;
  Result<PrinterDescription> read = PrinterDescription::Read(file);
  if (!read) return read.failure();
  if (const Status printable = CheckPrintable(*read); !printable) return Error{file + ": " + printable.error()};
  MakeOffer(*read);
  host::UsePrinterDescription(std::make_shared<const PrinterDescription>(std::move(read).value()));
  return {};
}

void FillDriverData(pappl_pr_driver_data_t* data) {
  const PrinterDescription& description = host::ActivePrinterDescription();
  std::vector<uint32_t> dpis;
  for (const host::ResolutionOption& resolution : description.resolutions()) dpis.push_back(resolution.dpi);
  std::sort(dpis.begin(), dpis.end());
  data->num_resolution = static_cast<int>(dpis.size());
  for (size_t i = 0; i < dpis.size(); ++i) {
    data->x_resolution[i] = data->y_resolution[i] = static_cast<int>(dpis[i]);
  }
  data->x_default = data->y_default = static_cast<int>(description.defaultDpi());
  // 8-bit gray and colour only: bi-level pages arrive as gray and are
  // dithered with the host's own pattern, as `kavhost print` does.
  data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8 | PAPPL_PWG_RASTER_TYPE_SRGB_8;
  data->color_supported = static_cast<pappl_color_mode_t>(PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_COLOR |
                                                          PAPPL_COLOR_MODE_MONOCHROME | PAPPL_COLOR_MODE_BI_LEVEL);
  data->color_default = PAPPL_COLOR_MODE_AUTO;
  data->left_right = offer.leftRight;
  data->bottom_top = offer.bottomTop;
  data->num_media = static_cast<int>(offer.media.size());
  for (size_t i = 0; i < offer.media.size(); ++i) data->media[i] = offer.media[i].c_str();
  pappl_media_col_t& media = data->media_ready[0];
  std::strncpy(media.size_name, offer.defaultMedia.c_str(), sizeof media.size_name - 1);
  std::strncpy(media.source, data->source[0], sizeof media.source - 1);
  std::strncpy(media.type, data->type[0], sizeof media.type - 1);
  media.size_width = offer.defaultWidth;
  media.size_length = offer.defaultLength;
  media.left_margin = media.right_margin = offer.leftRight;
  media.top_margin = media.bottom_margin = offer.bottomTop;
  data->media_default = media;
}

}  // namespace kav::app
