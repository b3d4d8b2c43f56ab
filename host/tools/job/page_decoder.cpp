#include "job/page_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

#include "job/band_decoders.h"
#include "render/printer_language.h"
#include "support/picture_codecs.h"

namespace kav::tools {
namespace {

std::string At(const JobItem& item) { return "image record at byte " + std::to_string(item.offset); }

// Sheet pixels the way the plug-in counts them, from the millimetres the
// sheet-size command carries; none for a size that is no sheet's.
uint64_t SheetPixels(float millimetres, uint32_t dpi) {
  const double tenths = std::round(static_cast<double>(millimetres) * 10.0);
  if (!(tenths > 0) || tenths > 1e6) return 0;
  return language::SheetPixels(static_cast<uint64_t>(tenths), dpi);
}

// An origin in whole pixels; far outside any page when it is not a number.
int64_t PixelOrigin(float value) {
  if (!std::isfinite(value) || std::fabs(value) > 1e9f) return INT64_MIN / 2;
  return std::lround(value);
}

// 8-bit rows are the band's pixels as they are, and are taken over whole;
// 1-bit rows are spread to one gray byte per pixel, 1 as ink.
void RowsToImage(const RecordFields& r, std::vector<uint8_t>&& rows, Image& band) {
  if (r.bitsPerComponent == 8) {
    band.width = r.width;
    band.height = r.height;
    band.channels = r.colorSpace == language::kColorSpaceRgb ? 3 : 1;
    band.pixels = std::move(rows);
    band.pixels.resize(band.RowBytes() * band.height);
    return;
  }
  band = Image(r.width, r.height, 1);
  const size_t rowBytes = (size_t{r.width} + 7) / 8;
  for (uint32_t y = 0; y < r.height; ++y) {
    const uint8_t* source = rows.data() + y * rowBytes;
    uint8_t* out = band.Row(y);
    for (uint32_t x = 0; x < r.width; ++x) out[x] = (source[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
  }
}

// Pixels of one band row in the page's channels, converted as they are
// copied so no converted copy of the band is made.
void CopyPixels(const uint8_t* from, uint32_t fromChannels, uint8_t* to, uint32_t toChannels, size_t pixels) {
  if (fromChannels == toChannels) {
    std::memcpy(to, from, pixels * toChannels);
    return;
  }
  for (size_t x = 0; x < pixels; ++x) {
    if (toChannels == 1) {
      to[x] = Luma(from[3 * x], from[3 * x + 1], from[3 * x + 2]);
    } else {
      std::memset(to + 3 * x, from[x], 3);
    }
  }
}

// The printer reads a colour JPEG's first component as blue and its third
// as red: the plug-in hands GDI+ its bands with those two exchanged.
void ExchangeFirstAndThirdComponents(Image& band) {
  for (size_t i = 0; i + 2 < band.pixels.size(); i += 3) std::swap(band.pixels[i], band.pixels[i + 2]);
}

void Place(const Image& band, int64_t left, int64_t top, Image& page, bool& clipped) {
  if (band.channels == 3 && page.channels == 1) page = ConvertChannels(page, 3);
  const int64_t x0 = std::max<int64_t>(left, 0);
  const int64_t y0 = std::max<int64_t>(top, 0);
  const int64_t x1 = std::min<int64_t>(left + band.width, page.width);
  const int64_t y1 = std::min<int64_t>(top + band.height, page.height);
  if (x0 != left || y0 != top || x1 != left + band.width || y1 != top + band.height) clipped = true;
  if (x0 >= x1 || y0 >= y1) return;
  for (int64_t y = y0; y < y1; ++y) {
    const uint8_t* from = band.Row(static_cast<uint32_t>(y - top)) + (x0 - left) * band.channels;
    CopyPixels(from, band.channels, page.Row(static_cast<uint32_t>(y)) + x0 * page.channels, page.channels,
               static_cast<size_t>(x1 - x0));
  }
}

// Whether a page needs colour before any record is decoded, so a gray page
// is not widened (a second copy) when a colour record comes.
bool HasColorRecord(const PagePlan& plan) {
  for (const JobItem& item : plan.records) {
    if (item.record.HasFormat() && item.record.colorSpace == language::kColorSpaceRgb) return true;
  }
  return false;
}

}  // namespace

std::vector<PagePlan> PlanPages(const std::vector<JobItem>& items) {
  std::vector<PagePlan> pages;
  PagePlan current;
  for (const JobItem& item : items) {
    switch (item.kind) {
      case ItemKind::kPaper:
        current.paperWidth = item.values[0];
        current.paperLength = item.values[1];
        break;
      case ItemKind::kPlacement:
        current.placement = std::vector<float>(item.values, item.values + 6);
        break;
      case ItemKind::kRecord:
        current.records.push_back(item);
        break;
      case ItemKind::kEndPage:
        current.ended = true;
        pages.push_back(current);
        // Paper and placement stay in force for the next page, as in the printer.
        current.records.clear();
        current.ended = false;
        break;
      default:
        break;
    }
  }
  if (!current.records.empty()) pages.push_back(current);
  return pages;
}

PageGeometry PageSize(const PagePlan& plan) {
  PageGeometry geometry;
  std::optional<language::PlacementReading> placement;
  if (plan.placement) placement = language::ReadPlacement(plan.placement->data());
  geometry.dpi = placement ? placement->dpi : 0;
  if (plan.paperWidth && placement) {
    const uint64_t across = SheetPixels(*plan.paperWidth, geometry.dpi);
    const uint64_t down = SheetPixels(*plan.paperLength, geometry.dpi);
    const bool landscape = placement->landscape;
    if (across > 0 && down > 0 && across <= UINT32_MAX && down <= UINT32_MAX) {
      geometry.width = static_cast<uint32_t>(landscape ? down : across);
      geometry.height = static_cast<uint32_t>(landscape ? across : down);
      geometry.fromPaper = true;
      return geometry;
    }
  }
  int64_t right = 1;
  int64_t bottom = 1;
  for (const JobItem& item : plan.records) {
    right = std::max(right, PixelOrigin(item.record.originX) + item.record.width);
    bottom = std::max(bottom, PixelOrigin(item.record.originY) + item.record.height);
  }
  geometry.width = static_cast<uint32_t>(std::min<int64_t>(right, UINT32_MAX));
  geometry.height = static_cast<uint32_t>(std::min<int64_t>(bottom, UINT32_MAX));
  return geometry;
}

Result<Image> DecodeRecord(const uint8_t* job, const JobItem& item, std::vector<std::string>& warnings) {
  const RecordFields& r = item.record;
  if (!r.HasFormat()) {
    warnings.push_back(At(item) + " has no format block; not drawn");
    return Image();
  }
  if (r.width == 0 || r.height == 0) {
    warnings.push_back(At(item) + " has no pixels (" + std::to_string(r.width) + "x" + std::to_string(r.height) +
                       "); not drawn");
    return Image();
  }
  // Nothing to draw, whatever size it claims: it costs no allocation.
  if (r.dataLength == 0) {
    warnings.push_back(At(item) + " holds no data; not drawn");
    return Image();
  }
  const uint8_t* data = job + r.dataOffset;
  if (r.compression == language::kCompressionJpeg) {
    if (!JpegDecodingAvailable()) {
      warnings.push_back(At(item) + " is JPEG, which this build does not decode; left blank");
      return Image();
    }
    Result<Image> band = WithContext(DecodeJpeg(data, r.dataLength, r.width, r.height), At(item));
    if (band && band->channels == 3) ExchangeFirstAndThirdComponents(*band);
    return band;
  }
  const bool known =
      (r.colorSpace == language::kColorSpaceGray && (r.bitsPerComponent == 1 || r.bitsPerComponent == 8)) ||
      (r.colorSpace == language::kColorSpaceRgb && r.bitsPerComponent == 8);
  if (!known || (r.compression != language::kCompressionNone && r.compression != language::kCompressionRows)) {
    warnings.push_back(At(item) + " (" + RecordKindName(r) + ") is of a kind not shown; not drawn");
    return Image();
  }
  const size_t components = r.colorSpace == language::kColorSpaceRgb ? 3 : 1;
  if (const Status fits = CheckImageSize(r.width, r.height, static_cast<uint32_t>(components)); !fits) {
    return Error{At(item) + ": " + fits.error()};
  }
  const size_t rowBytes = (static_cast<size_t>(r.width) * components * r.bitsPerComponent + 7) / 8;
  const size_t rowsBytes = rowBytes * r.height;
  if (r.compression == language::kCompressionRows) {
    size_t errorOffset = 0;
    Result<std::vector<uint8_t>> rows =
        DecodeCompressedRows(data, r.dataLength, static_cast<uint32_t>(rowBytes), r.height, errorOffset);
    if (!rows) {
      return Error{"byte " + std::to_string(r.dataOffset + errorOffset) + ": compressed rows of the " + At(item) +
                   " are malformed: " + rows.error()};
    }
    Image band;
    RowsToImage(r, std::move(rows).value(), band);
    return band;
  }
  if (r.dataLength < rowsBytes) {
    return Error{"byte " + std::to_string(item.offset) + ": the " + At(item) + " holds " +
                 std::to_string(r.dataLength) + " data bytes, its " + std::to_string(r.height) + " rows need " +
                 std::to_string(rowsBytes)};
  }
  if (r.dataLength > rowsBytes) {
    warnings.push_back(At(item) + " holds " + std::to_string(r.dataLength - rowsBytes) +
                       " bytes more than its rows; they are not shown");
  }
  Image band;
  RowsToImage(r, std::vector<uint8_t>(data, data + rowsBytes), band);
  return band;
}

Result<Image> RenderPage(const uint8_t* job, const PagePlan& plan, std::vector<std::string>& warnings) {
  const PageGeometry geometry = PageSize(plan);
  if (const Status fits = CheckImageSize(geometry.width, geometry.height, 3); !fits) return fits.failure();
  Image page(geometry.width, geometry.height, HasColorRecord(plan) ? 3 : 1);
  bool clipped = false;
  for (const JobItem& item : plan.records) {
    const Result<Image> band = DecodeRecord(job, item, warnings);
    if (!band) return band.failure();
    if (band->pixels.empty()) continue;
    if (!item.record.IdentityTransform()) {
      warnings.push_back(At(item) + " has a transform other than identity; drawn untransformed");
    }
    Place(*band, PixelOrigin(item.record.originX), PixelOrigin(item.record.originY), page, clipped);
  }
  if (clipped) warnings.push_back("bands run past the page; the parts outside are cut off");
  return page;
}

}  // namespace kav::tools
