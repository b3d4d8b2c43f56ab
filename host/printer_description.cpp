#include "host/printer_description.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>

#include "host/plugin_library.h"
#include "render/printer_language.h"

namespace kav::host {
namespace {

using gpd::At;
using gpd::File;
using gpd::Statement;

// What the host takes from any description, whatever it claims.
constexpr size_t kMaxFeatures = 64;
constexpr size_t kMaxOptions = 256;
constexpr int64_t kMaxMasterUnits = 48000;

// The widest surface whose bands still fit the records' 16-bit width once
// padded to whole 32-pixel units.
constexpr uint32_t kMaxSurfaceWidth = 65504;

// The sizes the system's forms give the standard sheet names, in micrometres.
struct StandardSheet {
  const char* keyword;
  int64_t width;
  int64_t length;
};
constexpr StandardSheet kStandardSheets[] = {
    {"A3", 297000, 420000},         {"A4", 210000, 297000},        {"A5", 148000, 210000},
    {"B4", 257000, 364000},         {"B5", 182000, 257000},        {"LETTER", 215900, 279400},
    {"LEGAL", 215900, 355600},      {"EXECUTIVE", 184150, 266700}, {"ENV_10", 104775, 241300},
    {"ENV_DL", 110000, 220000},     {"ENV_C5", 162000, 229000},    {"ENV_C4", 229000, 324000},
    {"ENV_MONARCH", 98425, 190500},
};

const char* const kVariableNames[] = {"PhysPaperWidth", "PhysPaperLength"};
const char* const kSectionNames[] = {"JOB_SETUP", "DOC_SETUP", "PAGE_SETUP", "PAGE_FINISH", "DOC_FINISH", "JOB_FINISH"};
const char* const kGeneralCommands[] = {"CmdStartJob", "CmdStartDoc", "CmdStartPage",
                                        "CmdEndPage",  "CmdEndDoc",   "CmdEndJob"};
const char* const kOrientations[] = {"PORTRAIT", "LANDSCAPE_CC270", "LANDSCAPE_CC90"};
constexpr ColorMode kColorModes[] = {ColorMode::kMono, ColorMode::kGray, ColorMode::kColor};
// The one pattern the host dithers bi-level bands with.
constexpr char kHalftonePattern[] = "HT_PATSIZE_8x8";

enum class FeatureKind { kColorMode, kResolution, kPaperSize, kOrientation, kHalftone, kInputBin, kOwn };

struct KnownFeature {
  const char* keyword;
  FeatureKind kind;
};
constexpr KnownFeature kKnownFeatures[] = {
    {"ColorMode", FeatureKind::kColorMode}, {"Resolution", FeatureKind::kResolution},
    {"PaperSize", FeatureKind::kPaperSize}, {"Orientation", FeatureKind::kOrientation},
    {"Halftone", FeatureKind::kHalftone},   {"InputBin", FeatureKind::kInputBin},
};

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

template <class List>
bool Contains(const List& list, std::string_view name) {
  return std::find_if(std::begin(list), std::end(list), [&](const char* entry) { return name == entry; }) !=
         std::end(list);
}

bool HasOption(const Feature& feature, std::string_view keyword) {
  return std::any_of(feature.options.begin(), feature.options.end(),
                     [&](const Option& option) { return option.keyword == keyword; });
}

// Micrometres as tenths of a millimetre, and as master units (truncated, as
// a sheet's size is counted in whole units).
int TenthsOfMicrons(int64_t microns) { return static_cast<int>((microns + 50) / 100); }
int64_t UnitsOfMicrons(int64_t microns, int64_t units) { return microns * units / 25400; }
int TenthsOfUnits(int64_t length, int64_t units) {
  return static_cast<int>((length * 2540 + units * 5) / (units * 10));
}
int64_t UnitsOfTenths(int64_t tenths, int64_t units) { return tenths * units / 254; }
// The tenths of a millimetre nearest `length` whose master units lie from
// `least` to `most` (a custom size's range, counted in whole units).
int TenthsInside(int64_t length, int64_t least, int64_t most, int64_t units) {
  int tenths = TenthsOfUnits(length, units);
  while (UnitsOfTenths(tenths, units) < least) ++tenths;
  while (UnitsOfTenths(tenths, units) > most) --tenths;
  return tenths;
}
// "330.2" for 3302 tenths of a millimetre.
std::string Millimetres(int tenths) {
  return std::to_string(tenths / 10) + (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "");
}
// Master units at `dpi` dots per inch, truncated, as device pixels.
uint32_t Pixels(int64_t length, uint32_t dpi, uint32_t units) { return static_cast<uint32_t>(length * dpi / units); }

// The statements of one block, each keyword at most once unless it may repeat.
class Block {
 public:
  Block(const File& file, const Statement& owner) : file_(file), owner_(owner) {}

  Status Once(const Statement& statement) {
    if (!seen_.insert(statement.keyword).second) return At(file_, statement, "given twice");
    return {};
  }
  Status Require(std::initializer_list<const char*> keywords) const {
    for (const char* keyword : keywords) {
      if (seen_.count(keyword) == 0) return At(file_, owner_, std::string(owner_.value) + " has no *" + keyword);
    }
    return {};
  }
  bool Has(const char* keyword) const { return seen_.count(keyword) != 0; }

 private:
  const File& file_;
  const Statement& owner_;
  std::set<std::string> seen_;
};

// Every attribute the reader knows, where a block after one is a mistake of
// form rather than a construct the host does not read.
constexpr const char* kAttributes[] = {"GPDSpecVersion",
                                       "GPDFileName",
                                       "GPDFileVersion",
                                       "ModelName",
                                       "ResourceDLL",
                                       "MasterUnits",
                                       "PrinterType",
                                       "Name",
                                       "rcNameID",
                                       "DefaultOption",
                                       "FeatureType",
                                       "Color?",
                                       "DevNumOfPlanes",
                                       "DevBPP",
                                       "DrvBPP",
                                       "IPCallbackID",
                                       "DPI",
                                       "TextDPI",
                                       "SpotDiameter",
                                       "PageDimensions",
                                       "PrintableArea",
                                       "PrintableOrigin",
                                       "MinSize",
                                       "MaxSize",
                                       "MaxPrintableWidth",
                                       "MinLeftMargin",
                                       "CenterPrintable?",
                                       "CustPrintableOriginX",
                                       "CustPrintableOriginY",
                                       "CustPrintableSizeX",
                                       "CustPrintableSizeY",
                                       "CustCursorOriginX",
                                       "CustCursorOriginY",
                                       "Order",
                                       "CallbackID",
                                       "Cmd",
                                       "Params"};

template <class T>
Status Take(const File& file, const Statement& statement, Result<T> value, T& into) {
  if (!value) return At(file, statement, value.error());
  into = std::move(*value);
  return {};
}

}  // namespace

// Reads the statements into a description, refusing every construct it does
// not know and every value the host cannot print by.
class DescriptionReader {
 public:
  DescriptionReader(const File& file, PrinterDescription& description) : file_(file), d_(description) {}

  Status Read() {
    if (const Status root = RootAttributes(); !root) return root;
    for (const Statement& statement : file_.statements) {
      if (statement.keyword == "Feature") {
        if (const Status read = ReadFeature(statement); !read) return read;
      } else if (statement.keyword == "Command") {
        if (const Status read = ReadGeneralCommand(statement); !read) return read;
      }
    }
    return Complete();
  }

 private:
  // The file's own attributes, read before its features, which need them.
  Status RootAttributes() {
    static const Statement kFile{};
    Block root(file_, kFile);
    for (const Statement& statement : file_.statements) {
      const std::string& keyword = statement.keyword;
      if (keyword == "Feature" || keyword == "Command") {
        if (!statement.hasBlock) return At(file_, statement, "needs a block in braces");
        continue;
      }
      if (statement.hasBlock) return NoBlock(statement);
      if (const Status once = root.Once(statement); !once) return once;
      if (keyword == "GPDSpecVersion" || keyword == "GPDFileName" || keyword == "GPDFileVersion" ||
          keyword == "ModelName" || keyword == "ResourceDLL") {
        std::string text;
        if (const Status taken = Take(file_, statement, gpd::QuotedBytes(statement.value), text); !taken) {
          return taken;
        }
        d_.names_[keyword] = std::move(text);
      } else if (keyword == "MasterUnits") {
        std::pair<int64_t, int64_t> units;
        if (const Status taken = Take(file_, statement, gpd::Pair(statement.value), units); !taken) return taken;
        if (units.first != units.second || units.first < 1 || units.first > kMaxMasterUnits) {
          return At(file_, statement,
                    "the host takes equal master units across and down, 1 to " + std::to_string(kMaxMasterUnits));
        }
        d_.masterUnits_ = static_cast<uint32_t>(units.first);
      } else if (keyword == "PrinterType") {
        if (statement.value != "PAGE") return At(file_, statement, "the host prints page printers only (PAGE)");
      } else {
        return At(file_, statement, "not read by this host");
      }
    }
    if (d_.masterUnits_ == 0) return Error{file_.name + ": no *MasterUnits"};
    return {};
  }

  Status ReadFeature(const Statement& statement) {
    if (d_.features_.size() >= kMaxFeatures) {
      return At(file_, statement, "more than " + std::to_string(kMaxFeatures) + " features");
    }
    Feature feature;
    if (const Status named = Take(file_, statement, gpd::Symbol(statement.value), feature.keyword); !named) {
      return named;
    }
    for (const Feature& other : d_.features_) {
      if (other.keyword == feature.keyword) return At(file_, statement, feature.keyword + " is described twice");
    }
    FeatureKind kind = FeatureKind::kOwn;
    for (const KnownFeature& known : kKnownFeatures) {
      if (feature.keyword == known.keyword) kind = known.kind;
    }
    Block block(file_, statement);
    for (const Statement& attribute : statement.block) {
      if (attribute.keyword == "Option") {
        if (feature.options.size() >= kMaxOptions) {
          return At(file_, attribute, "more than " + std::to_string(kMaxOptions) + " options");
        }
        Option option;
        if (const Status read = ReadOption(attribute, kind, feature, option); !read) return read;
        feature.options.push_back(std::move(option));
        continue;
      }
      if (attribute.hasBlock) return NoBlock(attribute);
      if (const Status once = block.Once(attribute); !once) return once;
      if (const std::optional<Status> named = NameAttribute(attribute, feature.name, feature.nameId)) {
        if (!*named) return *named;
        continue;
      }
      if (attribute.keyword == "DefaultOption") {
        if (const Status taken = Take(file_, attribute, gpd::Symbol(attribute.value), feature.defaultOption); !taken) {
          return taken;
        }
      } else if (attribute.keyword == "FeatureType") {
        if (attribute.value != "DOC_PROPERTY" && attribute.value != "JOB_PROPERTY" &&
            attribute.value != "PRINTER_PROPERTY") {
          return At(file_, attribute, "expected DOC_PROPERTY, JOB_PROPERTY or PRINTER_PROPERTY");
        }
      } else {
        return At(file_, attribute, "not read by this host");
      }
    }
    if (kind == FeatureKind::kOwn && !block.Has("FeatureType")) {
      return At(file_, statement,
                feature.keyword +
                    " is no feature this host knows; a feature of the driver's own "
                    "names its *FeatureType");
    }
    if (const Status required = block.Require({"DefaultOption"}); !required) return required;
    if (feature.options.empty()) return At(file_, statement, feature.keyword + " has no *Option");
    const auto chosen = std::find_if(feature.options.begin(), feature.options.end(),
                                     [&](const Option& option) { return option.keyword == feature.defaultOption; });
    if (chosen == feature.options.end()) {
      return At(file_, statement, "the default option " + feature.defaultOption + " is none of its options");
    }
    if (feature.keyword == "Rotation" && !(HasOption(feature, "TRUE") && HasOption(feature, "FALSE"))) {
      return At(file_, statement, "the plug-in reads Rotation as TRUE or FALSE: it needs both options");
    }
    if (kind == FeatureKind::kResolution) {
      for (const ResolutionOption& resolution : d_.resolutions_) {
        if (resolution.keyword == feature.defaultOption) d_.defaultDpi_ = resolution.dpi;
      }
    }
    for (const Option& option : feature.options) {
      for (const DescribedCommand& command : option.commands) {
        if (const Status placed = Place(command, feature.keyword, statement); !placed) return placed;
      }
    }
    d_.features_.push_back(std::move(feature));
    return {};
  }

  Status ReadOption(const Statement& statement, FeatureKind kind, const Feature& feature, Option& option) {
    if (!statement.hasBlock) return At(file_, statement, "needs a block in braces");
    if (const Status named = Take(file_, statement, gpd::Symbol(statement.value), option.keyword); !named) {
      return named;
    }
    for (const Option& other : feature.options) {
      if (other.keyword == option.keyword) return At(file_, statement, option.keyword + " is described twice");
    }
    if (const Status allowed = CheckOptionName(statement, kind, option.keyword); !allowed) return allowed;
    Block block(file_, statement);
    OptionValues values;
    for (const Statement& attribute : statement.block) {
      if (attribute.keyword == "Command") {
        DescribedCommand command;
        if (attribute.value != "CmdSelect") return At(file_, attribute, "an option's command is CmdSelect");
        if (const Status once = block.Once(attribute); !once) return once;
        if (const Status read = ReadCommand(attribute, command); !read) return read;
        option.commands.push_back(std::move(command));
        continue;
      }
      if (attribute.hasBlock) return NoBlock(attribute);
      if (const Status once = block.Once(attribute); !once) return once;
      if (const std::optional<Status> named = NameAttribute(attribute, option.name, option.nameId)) {
        if (!*named) return *named;
        continue;
      }
      if (const Status read = OptionAttribute(attribute, kind, option.keyword, values); !read) return read;
    }
    return FinishOption(statement, kind, option.keyword, block, values);
  }

  // The values of the attributes the kinds of option carry.
  struct OptionValues {
    bool color = false;
    int64_t devPlanes = 0;
    int64_t devBpp = 0;
    int64_t drvBpp = 0;
    int64_t callbackId = 0;
    std::pair<int64_t, int64_t> dpi{};
    std::pair<int64_t, int64_t> dimensions{};
    std::pair<int64_t, int64_t> area{};
    std::pair<int64_t, int64_t> origin{};
    std::pair<int64_t, int64_t> minSize{};
    std::pair<int64_t, int64_t> maxSize{};
    std::vector<gpd::Expression> printable = std::vector<gpd::Expression>(4);
  };

  Status CheckOptionName(const Statement& statement, FeatureKind kind, const std::string& keyword) const {
    if (kind == FeatureKind::kOrientation && !Contains(kOrientations, keyword)) {
      return At(file_, statement, "an orientation is PORTRAIT, LANDSCAPE_CC270 or LANDSCAPE_CC90");
    }
    if (kind == FeatureKind::kHalftone && keyword != kHalftonePattern) {
      return At(file_, statement, std::string("the host dithers with one pattern, ") + kHalftonePattern);
    }
    return {};
  }

  Status OptionAttribute(const Statement& attribute, FeatureKind kind, const std::string& keyword,
                         OptionValues& values) {
    const std::string& name = attribute.keyword;
    const bool custom = kind == FeatureKind::kPaperSize && keyword == "CUSTOMSIZE";
    if (kind == FeatureKind::kColorMode) {
      if (name == "Color?") return Take(file_, attribute, gpd::Boolean(attribute.value), values.color);
      if (name == "DevNumOfPlanes") return Take(file_, attribute, gpd::Integer(attribute.value), values.devPlanes);
      if (name == "DevBPP") return Take(file_, attribute, gpd::Integer(attribute.value), values.devBpp);
      if (name == "DrvBPP") return Take(file_, attribute, gpd::Integer(attribute.value), values.drvBpp);
      if (name == "IPCallbackID") return Take(file_, attribute, gpd::Integer(attribute.value), values.callbackId);
    } else if (kind == FeatureKind::kResolution) {
      if (name == "DPI") return Take(file_, attribute, gpd::Pair(attribute.value), values.dpi);
      if (name == "TextDPI") {
        std::pair<int64_t, int64_t> text;
        return Take(file_, attribute, gpd::Pair(attribute.value), text);
      }
      if (name == "SpotDiameter") {
        int64_t spot = 0;
        if (const Status taken = Take(file_, attribute, gpd::Integer(attribute.value), spot); !taken) return taken;
        if (spot != 100) return At(file_, attribute, "the host's bands take no spot size but 100");
        return {};
      }
    } else if (custom) {
      if (name == "MinSize") return Take(file_, attribute, gpd::Pair(attribute.value), values.minSize);
      if (name == "MaxSize") return Take(file_, attribute, gpd::Pair(attribute.value), values.maxSize);
      if (name == "MaxPrintableWidth" || name == "MinLeftMargin") {
        int64_t number = 0;
        return Take(file_, attribute, gpd::Integer(attribute.value), number);
      }
      if (name == "CenterPrintable?") {
        bool centred = false;
        if (const Status taken = Take(file_, attribute, gpd::Boolean(attribute.value), centred); !taken) return taken;
        if (centred) return At(file_, attribute, "the host takes the printable area from the *CustPrintable values");
        return {};
      }
      const char* const printable[] = {"CustPrintableOriginX", "CustPrintableOriginY", "CustPrintableSizeX",
                                       "CustPrintableSizeY"};
      for (size_t i = 0; i < std::size(printable); ++i) {
        if (name == printable[i]) return ReadExpression(attribute, values.printable[i]);
      }
      if (name == "CustCursorOriginX" || name == "CustCursorOriginY") {
        gpd::Expression cursor;  // checked; the plug-in places the page itself
        return ReadExpression(attribute, cursor);
      }
    } else if (kind == FeatureKind::kPaperSize) {
      if (name == "PageDimensions") return Take(file_, attribute, gpd::Pair(attribute.value), values.dimensions);
      if (name == "PrintableArea") return Take(file_, attribute, gpd::Pair(attribute.value), values.area);
      if (name == "PrintableOrigin") return Take(file_, attribute, gpd::Pair(attribute.value), values.origin);
    }
    return At(file_, attribute, "not read by this host");
  }

  Status ReadExpression(const Statement& attribute, gpd::Expression& into) {
    return Take(file_, attribute, gpd::Expression::Parse(attribute.value, VariableNames()), into);
  }

  static std::vector<std::string> VariableNames() { return {std::begin(kVariableNames), std::end(kVariableNames)}; }

  Status FinishOption(const Statement& statement, FeatureKind kind, const std::string& keyword, const Block& block,
                      const OptionValues& values) {
    switch (kind) {
      case FeatureKind::kColorMode:
        return AddColorMode(statement, keyword, block, values);
      case FeatureKind::kResolution:
        return AddResolution(statement, keyword, block, values);
      case FeatureKind::kPaperSize:
        return keyword == "CUSTOMSIZE" ? AddCustomSize(statement, block, values)
                                       : AddSheet(statement, keyword, block, values);
      default:
        return {};
    }
  }

  Status AddColorMode(const Statement& statement, const std::string& keyword, const Block& block,
                      const OptionValues& values) {
    if (const Status required = block.Require({"Color?", "DevNumOfPlanes", "DevBPP", "DrvBPP", "IPCallbackID"});
        !required) {
      return required;
    }
    if (values.devPlanes != 0 || values.devBpp != 0) {
      return At(file_, statement, "the host hands every band to the plug-in to spool (*DevBPP 0, *DevNumOfPlanes 0)");
    }
    // The kind of band whose bits the option asks for, and which alone is in colour.
    const auto kind = std::find_if(std::begin(kColorModes), std::end(kColorModes),
                                   [&](ColorMode mode) { return BandBits(mode) == values.drvBpp; });
    if (kind == std::end(kColorModes) || values.color != (*kind == ColorMode::kColor)) {
      return At(file_, statement, "the host renders 1-bit and 8-bit bands without colour and 24-bit bands in colour");
    }
    if (values.callbackId < 0) return At(file_, statement, "*IPCallbackID is a callback id, 0 or more");
    if (d_.ColorModeOf(*kind) != nullptr) {
      return At(file_, statement, std::string("a second ") + ModeName(*kind) + " colour mode");
    }
    d_.colorModes_.push_back({keyword, *kind, static_cast<uint32_t>(values.callbackId), BandBits(*kind), values.color});
    return {};
  }

  Status AddResolution(const Statement& statement, const std::string& keyword, const Block& block,
                       const OptionValues& values) {
    if (const Status required = block.Require({"DPI"}); !required) return required;
    const int64_t dpi = values.dpi.first;
    if (values.dpi.first != values.dpi.second || dpi < kMinDpi || dpi > kMaxDpi) {
      return At(file_, statement,
                "the host prints at equal resolutions across and down, " + std::to_string(kMinDpi) + " to " +
                    std::to_string(kMaxDpi) + " dpi");
    }
    if (d_.masterUnits_ % dpi != 0) return At(file_, statement, "the master units are no multiple of its resolution");
    d_.resolutions_.push_back({keyword, static_cast<uint32_t>(dpi)});
    return {};
  }

  Status AddSheet(const Statement& statement, const std::string& keyword, const Block& block,
                  const OptionValues& values) {
    const int64_t units = d_.masterUnits_;
    Sheet sheet{keyword};
    const auto standard = std::find_if(std::begin(kStandardSheets), std::end(kStandardSheets),
                                       [&](const StandardSheet& s) { return keyword == s.keyword; });
    if (standard != std::end(kStandardSheets)) {
      if (block.Has("PageDimensions")) {
        return At(file_, statement, keyword + " is a standard sheet: its size comes from the system's forms");
      }
      sheet.widthTenths = TenthsOfMicrons(standard->width);
      sheet.lengthTenths = TenthsOfMicrons(standard->length);
      sheet.width = UnitsOfMicrons(standard->width, units);
      sheet.length = UnitsOfMicrons(standard->length, units);
    } else {
      if (const Status required = block.Require({"PageDimensions"}); !required) return required;
      sheet.width = values.dimensions.first;
      sheet.length = values.dimensions.second;
      if (sheet.width < 1 || sheet.length < 1 || sheet.width > UnitsOfTenths(kMaxPaperTenths, units) ||
          sheet.length > UnitsOfTenths(kMaxPaperTenths, units)) {
        return At(file_, statement, "a sheet is 10 to 3276.7 mm across and down");
      }
      sheet.widthTenths = TenthsOfUnits(sheet.width, units);
      sheet.lengthTenths = TenthsOfUnits(sheet.length, units);
    }
    if (sheet.widthTenths < kMinPaperTenths || sheet.lengthTenths < kMinPaperTenths) {
      return At(file_, statement, "a sheet is 10 to 3276.7 mm across and down");
    }
    if (const Status required = block.Require({"PrintableArea", "PrintableOrigin"}); !required) return required;
    sheet.originX = values.origin.first;
    sheet.originY = values.origin.second;
    sheet.areaWidth = values.area.first;
    sheet.areaLength = values.area.second;
    if (const Status inside = CheckPrintable(sheet); !inside) return At(file_, statement, inside.error());
    d_.sheets_.push_back(sheet);
    return {};
  }

  Status AddCustomSize(const Statement& statement, const Block& block, const OptionValues& values) {
    if (const Status required = block.Require({"MinSize", "MaxSize", "CustPrintableOriginX", "CustPrintableOriginY",
                                               "CustPrintableSizeX", "CustPrintableSizeY"});
        !required) {
      return required;
    }
    const int64_t largest = UnitsOfTenths(kMaxPaperTenths, d_.masterUnits_);
    const int64_t smallest = UnitsOfTenths(kMinPaperTenths, d_.masterUnits_);
    const std::pair<int64_t, int64_t>& low = values.minSize;
    const std::pair<int64_t, int64_t>& high = values.maxSize;
    if (low.first < smallest || low.second < smallest || high.first > largest || high.second > largest ||
        low.first > high.first || low.second > high.second) {
      return At(file_, statement, "the custom sizes lie from *MinSize to *MaxSize, within 10 to 3276.7 mm");
    }
    const int64_t units = d_.masterUnits_;
    d_.customSize_ = CustomSize{low,
                                high,
                                values.printable,
                                {"custom", TenthsInside(low.first, low.first, high.first, units),
                                 TenthsInside(low.second, low.second, high.second, units)},
                                {"custom", TenthsInside(high.first, low.first, high.first, units),
                                 TenthsInside(high.second, low.second, high.second, units)}};
    // The printable area must lie on the smallest and on the largest sheet.
    for (const Paper& end : {d_.customSize_->smallest, d_.customSize_->largest}) {
      const Result<Sheet> sheet = d_.SheetOf(end);
      if (!sheet) return At(file_, statement, sheet.error());
    }
    return {};
  }

  // A display name, *Name or *rcNameID, which features and options share;
  // none when `attribute` is neither.
  std::optional<Status> NameAttribute(const Statement& attribute, std::string& name, std::optional<uint32_t>& nameId) {
    if (attribute.keyword == "Name") return Take(file_, attribute, gpd::QuotedBytes(attribute.value), name);
    if (attribute.keyword != "rcNameID") return std::nullopt;
    if (d_.Name("ResourceDLL").empty()) {
      return At(file_, attribute, "a string id needs the *ResourceDLL that holds it");
    }
    int64_t id = 0;
    if (const Status taken = Take(file_, attribute, gpd::Integer(attribute.value), id); !taken) return taken;
    if (id < 0 || id > 0xFFFF) return At(file_, attribute, "a string id is 0 to 65535");
    nameId = static_cast<uint32_t>(id);
    return Status{};
  }

  Status ReadGeneralCommand(const Statement& statement) {
    if (!Contains(kGeneralCommands, statement.value)) {
      return At(file_, statement,
                "the host sends CmdStartJob, CmdStartDoc, CmdStartPage, CmdEndPage, CmdEndDoc and "
                "CmdEndJob; not " +
                    statement.value);
    }
    for (const std::string& seen : generalNames_) {
      if (seen == statement.value) return At(file_, statement, statement.value + " is described twice");
    }
    generalNames_.push_back(statement.value);
    DescribedCommand command;
    if (const Status read = ReadCommand(statement, command); !read) return read;
    if (const Status placed = Place(command, statement.value, statement); !placed) return placed;
    d_.generalCommands_.push_back(std::move(command));
    return {};
  }

  Status ReadCommand(const Statement& statement, DescribedCommand& command) {
    if (!statement.hasBlock) return At(file_, statement, "needs a block in braces");
    Block block(file_, statement);
    for (const Statement& attribute : statement.block) {
      if (attribute.hasBlock) return NoBlock(attribute);
      if (const Status once = block.Once(attribute); !once) return once;
      if (attribute.keyword == "Order") {
        if (const Status read = ReadOrder(attribute, command); !read) return read;
      } else if (attribute.keyword == "CallbackID") {
        int64_t id = 0;
        if (const Status taken = Take(file_, attribute, gpd::Integer(attribute.value), id); !taken) return taken;
        if (id < 0) return At(file_, attribute, "a callback id is 0 or more");
        command.callbackId = static_cast<uint32_t>(id);
      } else if (attribute.keyword == "Cmd") {
        if (const Status taken = Take(file_, attribute, gpd::QuotedBytes(attribute.value), command.bytes); !taken) {
          return taken;
        }
      } else if (attribute.keyword == "Params") {
        if (const Status read = ReadParams(attribute, command); !read) return read;
      } else {
        return At(file_, attribute, "not read by this host");
      }
    }
    if (const Status required = block.Require({"Order"}); !required) return required;
    if (block.Has("CallbackID") == block.Has("Cmd")) {
      return At(file_, statement, "a command is either a *CallbackID or a *Cmd string");
    }
    if (block.Has("Params") && !block.Has("CallbackID")) {
      return At(file_, statement, "*Params go with a *CallbackID");
    }
    return CheckParamsOfCallback(statement, command);
  }

  Status ReadOrder(const Statement& attribute, DescribedCommand& command) {
    const size_t dot = attribute.value.find('.');
    const std::string section = attribute.value.substr(0, dot);
    const auto found = std::find(std::begin(kSectionNames), std::end(kSectionNames), section);
    if (dot == std::string::npos || found == std::end(kSectionNames)) {
      return At(file_, attribute,
                "expected SECTION.NUMBER, the section one of JOB_SETUP, DOC_SETUP, PAGE_SETUP, "
                "PAGE_FINISH, DOC_FINISH, JOB_FINISH");
    }
    int64_t order = 0;
    if (const Status taken = Take(file_, attribute, gpd::Integer(attribute.value.substr(dot + 1)), order); !taken) {
      return taken;
    }
    if (order < 0) return At(file_, attribute, "an order is 0 or more");
    command.section = kSections[found - std::begin(kSectionNames)];
    command.order = static_cast<uint32_t>(order);
    return {};
  }

  Status ReadParams(const Statement& attribute, DescribedCommand& command) {
    std::vector<std::string> names;
    if (const Status taken = Take(file_, attribute, gpd::List(attribute.value), names); !taken) return taken;
    for (const std::string& name : names) {
      const auto found = std::find(std::begin(kVariableNames), std::end(kVariableNames), name);
      if (found == std::end(kVariableNames)) {
        return At(file_, attribute, "the host supplies PhysPaperWidth and PhysPaperLength; not " + name);
      }
      command.params.push_back(static_cast<Variable>(found - std::begin(kVariableNames)));
    }
    return {};
  }

  // The host hands a callback the same parameters wherever it is bound.
  Status CheckParamsOfCallback(const Statement& statement, const DescribedCommand& command) {
    if (!command.callbackId) return {};
    const auto [known, added] = paramsOfCallback_.emplace(*command.callbackId, command.params);
    if (!added && known->second != command.params) {
      return At(file_, statement,
                "callback " + std::to_string(*command.callbackId) + " is bound elsewhere with other *Params");
    }
    return {};
  }

  // Two sources may not share a place in a section: the order would be a guess.
  Status Place(const DescribedCommand& command, const std::string& source, const Statement& statement) {
    const auto [held, added] = places_.emplace(std::make_pair(command.section, command.order), source);
    if (!added && held->second != source) {
      return At(file_, statement,
                source + "'s command takes the place of " + held->second + "'s (" +
                    kSectionNames[static_cast<int>(command.section)] + "." + std::to_string(command.order) + ")");
    }
    return {};
  }

  Status NoBlock(const Statement& statement) const {
    return At(file_, statement, Contains(kAttributes, statement.keyword) ? "takes no block" : "not read by this host");
  }

  Status CheckPrintable(const Sheet& sheet) const {
    if (sheet.originX < 0 || sheet.originY < 0 || sheet.areaWidth < 1 || sheet.areaLength < 1 ||
        sheet.originX + sheet.areaWidth > sheet.width || sheet.originY + sheet.areaLength > sheet.length) {
      return Error{"the printable area of " + sheet.keyword + " does not lie on the sheet"};
    }
    return {};
  }

  Status Complete() {
    for (const char* required : {"ColorMode", "Resolution", "PaperSize", "Orientation"}) {
      const bool present = std::any_of(d_.features_.begin(), d_.features_.end(),
                                       [&](const Feature& feature) { return feature.keyword == required; });
      if (!present) return Error{file_.name + ": no *Feature: " + required};
    }
    if (d_.sheets_.empty()) return Error{file_.name + ": no sheet but the custom size"};
    return SetDefaults();
  }

  // The settings the features' default options select.
  Status SetDefaults() {
    DeviceSettings& defaults = d_.defaults_;
    defaults.dpi = d_.defaultDpi_;
    for (const Feature& feature : d_.features_) {
      const std::string& chosen = feature.defaultOption;
      if (feature.keyword == "ColorMode") {
        for (const ColorModeOption& mode : d_.colorModes_) {
          if (mode.keyword == chosen) defaults.mode = mode.kind;
        }
      } else if (feature.keyword == "PaperSize") {
        const std::optional<Paper> paper = d_.NamedPaper(chosen);
        if (!paper) return Error{file_.name + ": the default paper size is a sheet, which the custom size is not"};
        defaults.paper = *paper;
      } else if (feature.keyword == "Orientation") {
        defaults.landscape = chosen != "PORTRAIT";
      } else if (feature.keyword == "Rotation") {
        defaults.rotate180 = chosen == "TRUE";
      }
    }
    return {};
  }

  const File& file_;
  PrinterDescription& d_;
  std::vector<std::string> generalNames_;
  std::map<uint32_t, std::vector<Variable>> paramsOfCallback_;
  std::map<std::pair<Section, uint32_t>, std::string> places_;
};

std::string CustomSize::RangeText() const {
  return Millimetres(smallest.widthTenths) + " x " + Millimetres(smallest.lengthTenths) + " to " +
         Millimetres(largest.widthTenths) + " x " + Millimetres(largest.lengthTenths) + " mm";
}

uint16_t BandBits(ColorMode mode) {
  switch (mode) {
    case ColorMode::kMono:
      return 1;
    case ColorMode::kGray:
      return 8;
    case ColorMode::kColor:
      return 24;
  }
  return 0;
}

const char* ModeName(ColorMode mode) {
  switch (mode) {
    case ColorMode::kMono:
      return "mono";
    case ColorMode::kGray:
      return "gray";
    case ColorMode::kColor:
      return "color";
  }
  return "?";
}

Result<PrinterDescription> PrinterDescription::Read(const std::string& path) {
  Result<File> file = gpd::ReadFile(path);
  if (!file) return file.failure();
  PrinterDescription description;
  if (const Status read = DescriptionReader(*file, description).Read(); !read) return read.failure();
  return description;
}

Result<PrinterDescription> PrinterDescription::FromText(std::string_view text, const std::string& name) {
  Result<File> file = gpd::Parse(text, name);
  if (!file) return file.failure();
  PrinterDescription description;
  if (const Status read = DescriptionReader(*file, description).Read(); !read) return read.failure();
  return description;
}

std::string PrinterDescription::Name(const std::string& keyword) const {
  const auto found = names_.find(keyword);
  return found != names_.end() ? found->second : std::string();
}

std::vector<uint32_t> PrinterDescription::NameIds() const {
  std::vector<uint32_t> ids;
  for (const Feature& feature : features_) {
    if (feature.nameId) ids.push_back(*feature.nameId);
    for (const Option& option : feature.options) {
      if (option.nameId) ids.push_back(*option.nameId);
    }
  }
  return ids;
}

const ColorModeOption* PrinterDescription::ColorModeOf(ColorMode mode) const {
  for (const ColorModeOption& option : colorModes_) {
    if (option.kind == mode) return &option;
  }
  return nullptr;
}

const ColorModeOption* PrinterDescription::ColorModeNamed(std::string_view name) const {
  for (const ColorModeOption& option : colorModes_) {
    if (SameName(name, option.keyword)) return &option;
  }
  return nullptr;
}

std::string PrinterDescription::ColorModeList() const {
  std::string list;
  for (const ColorModeOption& mode : colorModes_) list += (list.empty() ? "" : ", ") + mode.keyword;
  return list;
}

std::string PrinterDescription::ResolutionList() const {
  std::string list;
  for (const ResolutionOption& resolution : resolutions_) {
    list += (list.empty() ? "" : ", ") + std::to_string(resolution.dpi);
  }
  return list + " dpi";
}

std::optional<Paper> PrinterDescription::NamedPaper(std::string_view name) const {
  for (const Sheet& sheet : sheets_) {
    if (SameName(name, sheet.keyword)) return Paper{sheet.keyword, sheet.widthTenths, sheet.lengthTenths};
  }
  return {};
}

std::string PrinterDescription::NamedPaperList() const {
  std::string list;
  for (const Sheet& sheet : sheets_) list += (list.empty() ? "" : ", ") + sheet.keyword;
  return list;
}

Result<Sheet> PrinterDescription::SheetOf(const Paper& paper) const {
  const auto sameSize = [&](const Sheet& sheet) {
    return sheet.widthTenths == paper.widthTenths && sheet.lengthTenths == paper.lengthTenths;
  };
  for (const Sheet& sheet : sheets_) {
    if (sheet.keyword == paper.name && sameSize(sheet)) return sheet;
  }
  for (const Sheet& sheet : sheets_) {
    if (sameSize(sheet)) return sheet;
  }
  if (!customSize_) {
    return Error{"paper " + paper.name + " is no sheet of the description, which has no custom size"};
  }
  Sheet sheet{"CUSTOMSIZE", paper.widthTenths, paper.lengthTenths, UnitsOfTenths(paper.widthTenths, masterUnits_),
              UnitsOfTenths(paper.lengthTenths, masterUnits_)};
  if (sheet.width < customSize_->minSize.first || sheet.length < customSize_->minSize.second ||
      sheet.width > customSize_->maxSize.first || sheet.length > customSize_->maxSize.second) {
    return Error{"paper " + paper.name + " is no sheet of the description, and its custom sizes are " +
                 customSize_->RangeText()};
  }
  int64_t* printable[] = {&sheet.originX, &sheet.originY, &sheet.areaWidth, &sheet.areaLength};
  for (size_t i = 0; i < std::size(printable); ++i) {
    const Result<int64_t> value = customSize_->printable[i].Evaluate({sheet.width, sheet.length});
    if (!value) return Error{"the custom size's printable area: " + value.error()};
    *printable[i] = *value;
  }
  if (sheet.originX < 0 || sheet.originY < 0 || sheet.originX + sheet.areaWidth > sheet.width ||
      sheet.originY + sheet.areaLength > sheet.length || sheet.areaWidth < 1 || sheet.areaLength < 1) {
    return Error{"paper " + paper.name + " leaves no printable area inside its margins"};
  }
  return sheet;
}

Result<PageLayout> PrinterDescription::Layout(const Paper& paper, uint32_t dpi, bool landscape) const {
  if (const Result<std::string> offered = ResolutionKeyword(dpi); !offered) return offered.failure();
  const Result<Sheet> sheet = SheetOf(paper);
  if (!sheet) return sheet.failure();
  PageLayout layout;
  // The plug-in's own count of sheet pixels (truncated, with a small bias).
  layout.sheetWidth = static_cast<uint32_t>(language::SheetPixels(static_cast<uint32_t>(paper.widthTenths), dpi));
  layout.sheetLength = static_cast<uint32_t>(language::SheetPixels(static_cast<uint32_t>(paper.lengthTenths), dpi));
  layout.offsetX = Pixels(sheet->originX, dpi, masterUnits_);
  layout.offsetY = Pixels(sheet->originY, dpi, masterUnits_);
  const uint32_t width = Pixels(sheet->areaWidth, dpi, masterUnits_);
  const uint32_t length = Pixels(sheet->areaLength, dpi, masterUnits_);
  if (width == 0 || length == 0) return Error{"paper " + paper.name + " leaves no printable area inside its margins"};
  layout.surfaceWidth = landscape ? length : width;
  layout.surfaceHeight = landscape ? width : length;
  if (layout.surfaceWidth > kMaxSurfaceWidth) {
    return Error{"the printable area is " + std::to_string(layout.surfaceWidth) +
                 " pixels wide; image records hold at most " + std::to_string(kMaxSurfaceWidth) + " (lower --dpi)"};
  }
  return layout;
}

Result<std::string> PrinterDescription::ResolutionKeyword(uint32_t dpi) const {
  for (const ResolutionOption& resolution : resolutions_) {
    if (resolution.dpi == dpi) return resolution.keyword;
  }
  return Error{"the description offers no resolution of " + std::to_string(dpi) + " dpi, but " + ResolutionList()};
}

Result<std::vector<const Option*>> PrinterDescription::Select(const DeviceSettings& settings) const {
  std::vector<const Option*> chosen;
  const Result<Sheet> sheet = SheetOf(settings.paper);
  if (!sheet) return sheet.failure();
  for (const Feature& feature : features_) {
    std::string wanted = feature.defaultOption;
    if (feature.keyword == "ColorMode") {
      const ColorModeOption* mode = ColorModeOf(settings.mode);
      if (mode == nullptr) return Error{std::string("the description has no ") + ModeName(settings.mode) + " mode"};
      wanted = mode->keyword;
    } else if (feature.keyword == "Resolution") {
      const Result<std::string> offered = ResolutionKeyword(settings.dpi);
      if (!offered) return offered.failure();
      wanted = *offered;
    } else if (feature.keyword == "PaperSize") {
      wanted = sheet->keyword;
    } else if (feature.keyword == "Orientation") {
      wanted = "PORTRAIT";
      if (settings.landscape) {
        const auto turned = std::find_if(feature.options.begin(), feature.options.end(), [](const Option& option) {
          return option.keyword == "LANDSCAPE_CC270" || option.keyword == "LANDSCAPE_CC90";
        });
        if (turned == feature.options.end()) return Error{"the description has no landscape orientation"};
        wanted = turned->keyword;
      }
    } else if (feature.keyword == "Rotation") {
      wanted = settings.rotate180 ? "TRUE" : "FALSE";
    }
    const auto option = std::find_if(feature.options.begin(), feature.options.end(),
                                     [&](const Option& candidate) { return candidate.keyword == wanted; });
    if (option == feature.options.end()) {
      return Error{"the description's " + feature.keyword + " has no option " + wanted};
    }
    chosen.push_back(&*option);
  }
  if (settings.rotate180 && std::none_of(features_.begin(), features_.end(),
                                         [](const Feature& feature) { return feature.keyword == "Rotation"; })) {
    return Error{"the description has no Rotation feature"};
  }
  return chosen;
}

Result<std::vector<std::pair<std::string, std::string>>> PrinterDescription::Settings(
    const DeviceSettings& settings) const {
  const Result<std::vector<const Option*>> chosen = Select(settings);
  if (!chosen) return chosen.failure();
  std::vector<std::pair<std::string, std::string>> answers;
  for (size_t i = 0; i < features_.size(); ++i) answers.emplace_back(features_[i].keyword, (*chosen)[i]->keyword);
  return answers;
}

Result<std::vector<DescribedCommand>> PrinterDescription::Commands(Section section,
                                                                   const DeviceSettings& settings) const {
  const Result<std::vector<const Option*>> chosen = Select(settings);
  if (!chosen) return chosen.failure();
  std::vector<DescribedCommand> commands;
  for (const DescribedCommand& command : generalCommands_) {
    if (command.section == section) commands.push_back(command);
  }
  for (const Option* option : *chosen) {
    for (const DescribedCommand& command : option->commands) {
      if (command.section == section) commands.push_back(command);
    }
  }
  std::stable_sort(commands.begin(), commands.end(),
                   [](const DescribedCommand& a, const DescribedCommand& b) { return a.order < b.order; });
  return commands;
}

std::vector<uint32_t> PrinterDescription::ParamValues(const DescribedCommand& command, const Sheet& sheet) {
  std::vector<uint32_t> values;
  for (Variable variable : command.params) {
    values.push_back(static_cast<uint32_t>(variable == Variable::kPhysPaperWidth ? sheet.width : sheet.length));
  }
  return values;
}

namespace {

std::mutex activeLock;
std::shared_ptr<const PrinterDescription> active;

}  // namespace

void UsePrinterDescription(std::shared_ptr<const PrinterDescription> description) {
  const std::lock_guard<std::mutex> hold(activeLock);
  active = std::move(description);
}

const PrinterDescription& ActivePrinterDescription() {
  const std::lock_guard<std::mutex> hold(activeLock);
  if (!active) {
    Result<PrinterDescription> packaged = PrinterDescription::Read(ProgramDescription());
    if (!packaged) {
      std::fprintf(stderr, "cannot print without the printer description: %s\n", packaged.error().c_str());
      std::abort();
    }
    active = std::make_shared<const PrinterDescription>(std::move(*packaged));
  }
  return *active;
}

ModeFormat FormatOf(ColorMode mode) {
  const ColorModeOption* option = ActivePrinterDescription().ColorModeOf(mode);
  if (option == nullptr) return {0, BandBits(mode), 1};
  return option->Format();
}

std::optional<Paper> NamedPaper(std::string_view name) { return ActivePrinterDescription().NamedPaper(name); }

Result<PageLayout> ComputeLayout(const Paper& paper, uint32_t dpi, bool landscape) {
  return ActivePrinterDescription().Layout(paper, dpi, landscape);
}

}  // namespace kav::host
