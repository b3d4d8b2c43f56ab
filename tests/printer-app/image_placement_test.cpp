// Where an unscaled picture lands follows PAPPL's own placement rules; a
// picture those rules would scale or turn is left to PAPPL.
#include "image_placement.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kav::app {
namespace {

// An A5 sheet at 300 dpi (1748 x 2480 pixels) with margins of 4.24 mm
// (50 pixels) on every side, as the driver's media have.
pappl_pr_options_t A5At300(pappl_scaling_t scaling, ipp_orient_t orientation = IPP_ORIENT_PORTRAIT) {
  pappl_pr_options_t options{};
  options.header.cupsWidth = 1748;
  options.header.cupsHeight = 2480;
  options.printer_resolution[0] = options.printer_resolution[1] = 300;
  options.media.left_margin = options.media.right_margin = 424;
  options.media.top_margin = options.media.bottom_margin = 424;
  options.print_scaling = scaling;
  options.orientation_requested = orientation;
  return options;
}

TEST(PlaceUnscaledTest, PictureAtThePrintersResolutionIsCentredInThePrintableArea) {
  // The whole sheet: from its corner, the margins falling on the picture.
  auto position = PlaceUnscaled(A5At300(PAPPL_SCALING_NONE), 1748, 2480, 300);
  ASSERT_TRUE(position);
  EXPECT_EQ(position->x, 0);
  EXPECT_EQ(position->y, 0);
  // Smaller: centred; automatic scaling leaves a picture that fits as it is.
  position = PlaceUnscaled(A5At300(PAPPL_SCALING_AUTO), 1000, 1200, 300);
  ASSERT_TRUE(position);
  EXPECT_EQ(position->x, 50 + (1648 - 1000) / 2);
  EXPECT_EQ(position->y, 50 + (2380 - 1200) / 2);
  // Larger than the sheet without scaling: cut on both sides.
  position = PlaceUnscaled(A5At300(PAPPL_SCALING_NONE, IPP_ORIENT_NONE), 1848, 2580, 300);
  ASSERT_TRUE(position);
  EXPECT_EQ(position->x, -50);
  EXPECT_EQ(position->y, -50);
}

TEST(PlaceUnscaledTest, PicturesPapplWouldScaleOrTurnAreLeftToIt) {
  // Another resolution, or none with automatic scaling (fitted).
  EXPECT_FALSE(PlaceUnscaled(A5At300(PAPPL_SCALING_NONE), 1000, 1200, 150));
  EXPECT_FALSE(PlaceUnscaled(A5At300(PAPPL_SCALING_AUTO), 1000, 1200, 0));
  // Without scaling, a picture of no resolution prints at 200 ppi.
  EXPECT_FALSE(PlaceUnscaled(A5At300(PAPPL_SCALING_NONE), 1000, 1200, 0));
  // Automatic scaling fits a picture larger than the printable area.
  EXPECT_FALSE(PlaceUnscaled(A5At300(PAPPL_SCALING_AUTO), 1748, 2480, 300));
  EXPECT_FALSE(PlaceUnscaled(A5At300(PAPPL_SCALING_AUTO_FIT), 1700, 1000, 300));
  EXPECT_FALSE(PlaceUnscaled(A5At300(PAPPL_SCALING_FIT), 1000, 1200, 300));
  EXPECT_FALSE(PlaceUnscaled(A5At300(PAPPL_SCALING_FILL), 1000, 1200, 300));
  // Turned: asked for, or a wide picture on a tall sheet with no orientation asked.
  EXPECT_FALSE(PlaceUnscaled(A5At300(PAPPL_SCALING_NONE, IPP_ORIENT_LANDSCAPE), 1000, 1200, 300));
  EXPECT_FALSE(PlaceUnscaled(A5At300(PAPPL_SCALING_NONE, IPP_ORIENT_REVERSE_PORTRAIT), 1000, 1200, 300));
  EXPECT_FALSE(PlaceUnscaled(A5At300(PAPPL_SCALING_NONE, IPP_ORIENT_NONE), 1200, 1000, 300));
  EXPECT_TRUE(PlaceUnscaled(A5At300(PAPPL_SCALING_NONE, IPP_ORIENT_NONE), 1000, 1200, 300));
}

// A 4 x 3 gray picture whose pixel (x, y) is 10 * y + x.
constexpr uint8_t kPicture[] = {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23};

std::vector<uint8_t> LineOf(SheetPosition position, unsigned y, uint32_t sheetWidth) {
  std::vector<uint8_t> line(sheetWidth, 0x55);
  const int row = PictureRowOn(position, y, 3);
  SheetLine({row >= 0 ? kPicture + 4 * row : nullptr, 4, 1}, position, sheetWidth, line.data());
  return line;
}

TEST(SheetLineTest, PicturesRowsLandWhereTheyArePlacedOnWhitePaper) {
  using Line = std::vector<uint8_t>;
  EXPECT_EQ(LineOf({1, 1}, 0, 6), Line(6, 0xFF));
  EXPECT_EQ(LineOf({1, 1}, 1, 6), (Line{0xFF, 0, 1, 2, 3, 0xFF}));
  EXPECT_EQ(LineOf({1, 1}, 3, 6), (Line{0xFF, 20, 21, 22, 23, 0xFF}));
  EXPECT_EQ(LineOf({1, 1}, 4, 6), Line(6, 0xFF));
  // Larger than the sheet: cut on both sides, as centred.
  EXPECT_EQ(LineOf({-1, -1}, 0, 2), (Line{11, 12}));
  EXPECT_EQ(LineOf({-1, -1}, 1, 2), (Line{21, 22}));
  // Reaching past the right edge, or off the sheet altogether.
  EXPECT_EQ(LineOf({3, 0}, 2, 5), (Line{0xFF, 0xFF, 0xFF, 20, 21}));
  EXPECT_EQ(LineOf({6, 0}, 0, 5), Line(5, 0xFF));
}

}  // namespace
}  // namespace kav::app
