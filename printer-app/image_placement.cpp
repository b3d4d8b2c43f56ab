#include "image_placement.h"

#include <algorithm>
#include <cstring>

namespace kav::app {

int PixelsOf(int hundredths, int dpi) { return hundredths * dpi / 2540; }

std::optional<SheetPosition> PlaceUnscaled(const pappl_pr_options_t& options, int width, int height, int ppi) {
  const pappl_scaling_t scaling = options.print_scaling;
  const bool automatic = scaling == PAPPL_SCALING_AUTO || scaling == PAPPL_SCALING_AUTO_FIT;
  if (!automatic && scaling != PAPPL_SCALING_NONE) return {};
  // A picture of unknown resolution is fitted, or printed at 200 ppi.
  if (ppi <= 0) {
    if (automatic) return {};
    ppi = 200;
  }
  const cups_page_header2_t& header = options.header;
  const ipp_orient_t orientation = options.orientation_requested;
  const bool turnedByDefault = width > height && header.cupsWidth < header.cupsHeight;
  if (orientation != IPP_ORIENT_PORTRAIT && (orientation != IPP_ORIENT_NONE || turnedByDefault)) return {};
  const pappl_media_col_t& media = options.media;
  const int xdpi = options.printer_resolution[0];
  const int ydpi = options.printer_resolution[1];
  const int printableWidth =
      static_cast<int>(header.cupsWidth) - PixelsOf(media.left_margin + media.right_margin, xdpi);
  const int printableHeight =
      static_cast<int>(header.cupsHeight) - PixelsOf(media.top_margin + media.bottom_margin, ydpi);
  const int sheetWidth = width * xdpi / ppi;
  const int sheetHeight = height * ydpi / ppi;
  // Automatic scaling fits a picture larger than the printable area.
  if (automatic && (sheetWidth > printableWidth || sheetHeight > printableHeight)) return {};
  if (sheetWidth != width || sheetHeight != height) return {};
  return SheetPosition{PixelsOf(media.left_margin, xdpi) + (printableWidth - width) / 2,
                       PixelsOf(media.top_margin, ydpi) + (printableHeight - height) / 2};
}

int PictureRowOn(SheetPosition position, unsigned y, int height) {
  const int row = static_cast<int>(y) - position.y;
  return row >= 0 && row < height ? row : -1;
}

void SheetLine(const PictureRow& row, SheetPosition position, uint32_t sheetWidth, uint8_t* line) {
  const size_t pixel = size_t(row.channels);
  std::memset(line, 0xFF, size_t{sheetWidth} * pixel);
  if (row.pixels == nullptr) return;
  const int first = std::max(0, -position.x);  // the picture's first column on the sheet
  const int x = std::max(0, position.x);
  const int count = std::min(row.width - first, static_cast<int>(sheetWidth) - x);
  if (count <= 0) return;
  std::memcpy(line + size_t(x) * pixel, row.pixels + size_t(first) * pixel, size_t(count) * pixel);
}

}  // namespace kav::app
