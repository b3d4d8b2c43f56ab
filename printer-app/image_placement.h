// Where a picture lands on the sheet when PAPPL would print it unscaled.
//
// PAPPL's image path places a picture pixel by pixel and interpolates even
// where nothing is scaled. A picture at the printer's own resolution that is
// neither scaled nor turned needs none of that: its rows can go to the
// driver as they are, at the place PAPPL's rules give it.
#pragma once

#include <pappl/pappl.h>

#include <cstdint>
#include <optional>

namespace kav::app {

// The sheet position of the picture's top-left pixel; negative when the
// picture is larger than the printable area and is cut on both sides.
struct SheetPosition {
  int x;
  int y;
};

// Where PAPPL's rules for print-scaling, orientation and margins put a
// `width` x `height` picture of `ppi` pixels per inch (0 for unknown), or
// nothing when they scale or turn it.
std::optional<SheetPosition> PlaceUnscaled(const pappl_pr_options_t& options, int width, int height, int ppi);

// Pixels across `hundredths` of a millimetre at `dpi`, as PAPPL counts them.
int PixelsOf(int hundredths, int dpi);

// The row of a picture `height` rows tall that sheet line `y` shows, or -1
// when the line shows none. Lines further down show rows further down.
int PictureRowOn(SheetPosition position, unsigned y, int height);

// A row of a decoded picture: `width` pixels of `channels` bytes; null
// pixels for a line that shows none.
struct PictureRow {
  const uint8_t* pixels;
  int width;
  int channels;
};

// A line of a sheet `sheetWidth` pixels wide, in the picture's channels:
// paper white, with the picture's row where it lands.
void SheetLine(const PictureRow& row, SheetPosition position, uint32_t sheetWidth, uint8_t* line);

}  // namespace kav::app
