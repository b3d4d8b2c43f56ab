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

// A decoded picture: `channels` bytes a pixel, rows top to bottom.
struct PictureView {
  const uint8_t* pixels;
  int width;
  int height;
  int channels;
};

// Line y of a sheet `sheetWidth` pixels wide, in the picture's channels:
// paper white, with the picture's row where it lands.
void SheetLine(const PictureView& picture, SheetPosition position, unsigned y, uint32_t sheetWidth, uint8_t* line);

}  // namespace kav::app
