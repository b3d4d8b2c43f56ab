// The printer's command language as the render plug-in writes it and the
// tools read it back: the command bytes of each callback id, the image
// record's layout and values, and the arithmetic of sheet and placement.
// Written once here so the writer and the readers cannot drift apart.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kav::language {

// ---- Commands ----

// Ec form: "Ec", the colour byte, the command's code.
inline constexpr uint8_t kEcLead[2] = {'E', 'c'};
inline constexpr uint8_t kColorByteMonochrome = 1;
inline constexpr uint8_t kColorByteColor = 2;

struct EcCommand {
  uint32_t id;
  uint8_t code;
};
inline constexpr EcCommand kEcCommands[] = {
    {200, 0x00}, {201, 0x02}, {203, 0x03}, {204, 0x14}, {205, 0x15}, {206, 0x16}, {207, 0x04},
    {208, 0x05}, {209, 0x04}, {210, 0x05}, {211, 0x01}, {212, 0x0A}, {213, 0x0B},
};

// Single form: the code byte alone, except that the sheet-size code is
// followed by the sheet's width and length in millimetres, two big-endian singles.
inline constexpr uint8_t kSheetSizeCode = 0x51;  // 'Q'
inline constexpr uint32_t kCustomSheetId = 248;  // its size comes from the device mode

struct SingleCommand {
  uint32_t id;
  uint8_t code;
  float widthMm = 0.0f;  // the fixed sheets of the sheet-size code
  float lengthMm = 0.0f;
};
inline constexpr SingleCommand kSingleCommands[] = {
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

// Commands that are one fixed string, sent without a terminating NUL.
struct FixedCommand {
  uint32_t id;
  std::string_view bytes;
};
inline constexpr uint32_t kPageStartId = 260;
inline constexpr uint32_t kPageEndId = 270;
inline constexpr FixedCommand kFixedCommands[] = {
    {kPageStartId, "FBED"},
    {kPageEndId, "EB"},
};

// Id 250: "Aa" and the six numbers of the page placement matrix.
inline constexpr uint32_t kPagePlacementId = 250;
inline constexpr uint8_t kPagePlacementLead[2] = {'A', 'a'};
inline constexpr size_t kPagePlacementSize = 2 + 6 * 4;

// The entry of `table` for command `id`, or null.
template <typename Command, size_t count>
constexpr const Command* FindCommand(const Command (&table)[count], uint32_t id) {
  for (const Command& command : table) {
    if (command.id == id) return &command;
  }
  return nullptr;
}

// ---- Image records ----

inline constexpr uint8_t kRecordSignature[2] = {'C', 'q'};
// A header without extension or table: signature, origin, transform, size,
// extKind, formatKind, colorSpace, dataLayout, bitsPerComponent,
// compression, dataLength.
inline constexpr size_t kCommonRecordHeaderSize = 48;
inline constexpr size_t kRecordExtensionSize = 5;  // extCode and extValue, after extKind 2
inline constexpr size_t kRecordTableLeadSize = 5;  // tableKind, tableCount, tableLength

inline constexpr uint8_t kExtensionFollows = 2;    // extKind
inline constexpr uint8_t kNoExtension = 1;         // extKind every producer writes
inline constexpr uint8_t kFormatBlockFollows = 2;  // formatKind
inline constexpr uint8_t kRowsFirstToLast = 1;     // dataLayout

inline constexpr uint8_t kColorSpaceGray = 3;  // one component per pixel
inline constexpr uint8_t kColorSpaceRgb = 4;   // red, green, blue
inline constexpr uint8_t kColorSpaceJpeg = 5;  // gray and colour JPEG alike
// Colour spaces 8 to 11 carry a table.
constexpr bool HasColorTable(uint8_t colorSpace) { return colorSpace >= 8 && colorSpace <= 11; }

inline constexpr uint8_t kCompressionNone = 1;  // rows, first row first
inline constexpr uint8_t kCompressionJpeg = 4;  // the whole JPEG file
inline constexpr uint8_t kCompressionRows = 7;  // the row codec's stream

// The records' 16-bit width and height.
inline constexpr uint32_t kMaxRecordExtent = 65535;

// The short form: the bytes that every record of the raw and JPEG writers
// shares, and the format descriptors (extKind, formatKind, colorSpace,
// dataLayout, bitsPerComponent, compression).
inline constexpr uint8_t kRecordLead[6] = {0x43, 0x71, 0x00, 0x00, 0x00, 0x00};  // "Cq", originX +0.0
inline constexpr uint8_t kIdentityTransform[24] = {
    0x3F, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 1.0, 0.0, 0.0
    0x3F, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 1.0, 0.0, 0.0
};
inline constexpr float kIdentityMatrix[6] = {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
using FormatDescriptor = uint8_t[6];
inline constexpr FormatDescriptor kGrayRawDescriptor = {0x01, 0x02, 0x03, 0x01, 0x08, 0x01};
inline constexpr FormatDescriptor kColorRawDescriptor = {0x01, 0x02, 0x04, 0x01, 0x08, 0x01};
inline constexpr FormatDescriptor kJpegDescriptor = {0x01, 0x02, 0x05, 0x01, 0x08, 0x04};

// ---- Sheet and placement ----

// The resolution assumed when dmPrintQuality holds no dot count (zero, or a
// negative resolution code), so the scale stays finite.
inline constexpr uint32_t kFallbackDpi = 600;

// A sheet extent in whole device pixels, truncated with the printer's small
// bias. Taken in 64 bits so no resolution a device mode can hold wraps it.
constexpr uint64_t SheetPixels(uint64_t tenthsMm, uint64_t dpi) { return (tenthsMm * dpi * 10 + 5) / 2540; }

// The scale of the placement matrix: points per device pixel.
constexpr float PlacementScale(uint32_t dpi) { return 72.0f / static_cast<float>(dpi); }

// What a placement matrix says of the page: the resolution its scale of
// 72/dpi stands for, and the turn. Absent for a matrix that holds no scale
// (zero, not a number, infinite) or one far outside any printer's range.
struct PlacementReading {
  uint32_t dpi;
  bool landscape;  // the device's x runs along the sheet's length
  bool turned;     // the page lies half a turn round
};
// `m` holds the six numbers m1 to m6.
inline std::optional<PlacementReading> ReadPlacement(const float* m) {
  const bool landscape = m[0] == 0.0f;
  const float scale = landscape ? m[1] : m[0];
  if (!std::isfinite(scale) || scale == 0.0f) return std::nullopt;
  const double dpi = 72.0 / std::fabs(static_cast<double>(scale));
  if (dpi < 1.0 || dpi > 100000.0) return std::nullopt;
  return PlacementReading{static_cast<uint32_t>(std::lround(dpi)), landscape, scale < 0.0f};
}

}  // namespace kav::language
