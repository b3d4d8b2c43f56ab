// The printer description the host prints by, read from a GPD file as Unidrv
// reads it: the colour modes with their band formats and callback ids, the
// resolutions, the sheets with their printable areas, the custom size, and
// the commands sent in Unidrv's sections around a page. A construct the host
// does not read is refused with the file, the line and the construct named.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/gpd_reader.h"
#include "host/plugin_library.h"
#include "host/result.h"

namespace kav::host {

// The kinds of band the host renders: 1-bit dithered, 8-bit gray, 24-bit
// blue-green-red.
enum class ColorMode { kMono, kGray, kColor };

struct ModeFormat {
  uint32_t callbackId;  // ImageProcessing callback id
  uint16_t bitCount;    // bits per pixel of the host's bands
  short dmColor;        // DMCOLOR_MONOCHROME (1) or DMCOLOR_COLOR (2)
};

// "mono", "gray" or "color".
const char* ModeName(ColorMode mode);
// The bits per pixel of the host's bands of `mode`: 1, 8 or 24.
uint16_t BandBits(ColorMode mode);

// The resolutions the host prints at (a description offers some of them).
inline constexpr uint32_t kMinDpi = 50;
inline constexpr uint32_t kMaxDpi = 4800;

// A sheet by its size; a description's sheet of that keyword is chosen
// before one of the same size.
struct Paper {
  std::string name;
  int widthTenths = 0;  // tenths of a millimetre, as dmPaperWidth
  int lengthTenths = 0;
};

// The device mode holds sizes in tenths of a millimetre as 16-bit numbers.
inline constexpr int kMinPaperTenths = 100;
inline constexpr int kMaxPaperTenths = 32767;

// What a page is printed with, which selects an option of each feature of
// the description (its defaults() select the default options).
struct DeviceSettings {
  ColorMode mode = ColorMode::kColor;
  Paper paper;
  uint32_t dpi = 0;
  bool landscape = false;
  bool rotate180 = false;
};

// Where the page lies: the sheet in device pixels (as the plug-in counts
// them), the printable-area offset, and the surface the host renders in
// bands (turned for landscape).
struct PageLayout {
  uint32_t sheetWidth = 0;  // pixels across the sheet, portrait
  uint32_t sheetLength = 0;
  uint32_t offsetX = 0;  // GDIINFO.ptlPhysOffset
  uint32_t offsetY = 0;
  uint32_t surfaceWidth = 0;
  uint32_t surfaceHeight = 0;
};

// Unidrv's sections, in the order a job sends them.
enum class Section { kJobSetup, kDocSetup, kPageSetup, kPageFinish, kDocFinish, kJobFinish };
inline constexpr Section kSections[] = {Section::kJobSetup,   Section::kDocSetup,  Section::kPageSetup,
                                        Section::kPageFinish, Section::kDocFinish, Section::kJobFinish};

// The standard variables a command's *Params may name, in master units.
enum class Variable { kPhysPaperWidth, kPhysPaperLength };

struct DescribedCommand {
  Section section = Section::kPageSetup;
  uint32_t order = 0;
  std::optional<uint32_t> callbackId;  // the plug-in writes it...
  std::string bytes;                   // ...or the host writes these itself
  std::vector<Variable> params;        // what CommandCallback is given
};

struct Option {
  std::string keyword;
  std::string name;                // *Name, when given
  std::optional<uint32_t> nameId;  // *rcNameID: a string of the resource DLL
  std::vector<DescribedCommand> commands;
};

struct Feature {
  std::string keyword;
  std::string name;
  std::optional<uint32_t> nameId;
  std::string defaultOption;
  std::vector<Option> options;
};

struct ColorModeOption {
  std::string keyword;
  ColorMode kind;
  uint32_t callbackId;  // *IPCallbackID
  uint16_t bitCount;    // *DrvBPP
  bool color;           // *Color?: the device mode's dmColor is 2, else 1

  ModeFormat Format() const { return {callbackId, bitCount, static_cast<short>(color ? 2 : 1)}; }
};

struct ResolutionOption {
  std::string keyword;
  uint32_t dpi;
};

// A sheet, lengths in master units: its size and its printable area.
struct Sheet {
  std::string keyword;
  int widthTenths = 0;
  int lengthTenths = 0;
  int64_t width = 0;
  int64_t length = 0;
  int64_t originX = 0;
  int64_t originY = 0;
  int64_t areaWidth = 0;
  int64_t areaLength = 0;
};

// The custom size: its range and its printable area for any sheet.
struct CustomSize {
  std::pair<int64_t, int64_t> minSize;  // master units
  std::pair<int64_t, int64_t> maxSize;
  std::vector<gpd::Expression> printable;  // origin x, origin y, size x, size y
  Paper smallest;                          // the two ends in tenths of a millimetre
  Paper largest;

  // "85 x 148 to 330.2 x 1200 mm"
  std::string RangeText() const;
};

class PrinterDescription {
 public:
  // Reads the GPD file at `path`.
  static Result<PrinterDescription> Read(const std::string& path);
  // The description in `text`; `name` is the file's name in messages.
  static Result<PrinterDescription> FromText(std::string_view text, const std::string& name);

  uint32_t masterUnits() const { return masterUnits_; }
  const std::vector<Feature>& features() const { return features_; }
  // The commands of no option: CmdStartJob to CmdEndJob.
  const std::vector<DescribedCommand>& generalCommands() const { return generalCommands_; }
  const std::vector<ColorModeOption>& colorModes() const { return colorModes_; }
  const std::vector<ResolutionOption>& resolutions() const { return resolutions_; }
  uint32_t defaultDpi() const { return defaultDpi_; }
  const std::vector<Sheet>& sheets() const { return sheets_; }
  const std::optional<CustomSize>& customSize() const { return customSize_; }
  // What the default option of every feature selects.
  const DeviceSettings& defaults() const { return defaults_; }
  // The text of a string attribute of the file (GPDFileName, ModelName,
  // ResourceDLL, ...); empty when absent.
  std::string Name(const std::string& keyword) const;
  // Every *rcNameID of the description: the strings its resource DLL must hold.
  std::vector<uint32_t> NameIds() const;

  // The option of colour mode `mode`; none when the description has none.
  const ColorModeOption* ColorModeOf(ColorMode mode) const;
  // The colour mode option of keyword `name` (any letter case); none when
  // the description has none.
  const ColorModeOption* ColorModeNamed(std::string_view name) const;
  // Its colour modes' keywords, as "Mono, Gray, Color".
  std::string ColorModeList() const;
  // Its resolutions, as "300, 600 dpi".
  std::string ResolutionList() const;
  // A sheet the description names (any letter case); not the custom size.
  std::optional<Paper> NamedPaper(std::string_view name) const;
  // Its sheet names, as "A3, A4, ...".
  std::string NamedPaperList() const;
  // The sheet `paper` is: the description's sheet of that size, else the
  // custom size worked out for it, when the size lies in its range.
  Result<Sheet> SheetOf(const Paper& paper) const;
  // The page on `paper` at an offered resolution `dpi`.
  Result<PageLayout> Layout(const Paper& paper, uint32_t dpi, bool landscape) const;
  // The option keyword of every feature for a device with `settings`, as
  // DrvGetDriverSetting answers them; settings no option of a feature
  // stands for are refused.
  Result<std::vector<std::pair<std::string, std::string>>> Settings(const DeviceSettings& settings) const;
  // The commands of `section` for a device with `settings`, in their order.
  Result<std::vector<DescribedCommand>> Commands(Section section, const DeviceSettings& settings) const;
  // The values of a command's parameters on `sheet`.
  static std::vector<uint32_t> ParamValues(const DescribedCommand& command, const Sheet& sheet);

 private:
  friend class DescriptionReader;
  // The option chosen in each feature, by the feature's place.
  Result<std::vector<const Option*>> Select(const DeviceSettings& settings) const;
  // The keyword of the resolution option of `dpi`, or why there is none.
  Result<std::string> ResolutionKeyword(uint32_t dpi) const;

  uint32_t masterUnits_ = 0;
  std::map<std::string, std::string> names_;  // the file's string attributes
  std::vector<Feature> features_;
  std::vector<DescribedCommand> generalCommands_;
  std::vector<ColorModeOption> colorModes_;
  std::vector<ResolutionOption> resolutions_;
  uint32_t defaultDpi_ = 0;
  std::vector<Sheet> sheets_;
  std::optional<CustomSize> customSize_;
  DeviceSettings defaults_;
};

// The description the functions below answer from: the one given to
// UsePrinterDescription, else the packaged one, read on first use (a program
// that cannot read it stops with the reason).
void UsePrinterDescription(std::shared_ptr<const PrinterDescription> description);
const PrinterDescription& ActivePrinterDescription();

// The active description's format of colour mode `mode` (callback id 0 when
// it has no such mode).
ModeFormat FormatOf(ColorMode mode);
std::optional<Paper> NamedPaper(std::string_view name);
Result<PageLayout> ComputeLayout(const Paper& paper, uint32_t dpi, bool landscape);

}  // namespace kav::host
