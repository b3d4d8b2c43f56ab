// What kavhost prints: the pixels of the printable surface, one row at a
// time, in red-green-blue. Either the built-in sample page or a picture put
// at the surface's top-left corner, one picture pixel to one device pixel,
// cut to the surface; the rest of the surface is paper white.
#pragma once

#include <cstdint>
#include <vector>

#include "host/page_source.h"
#include "support/image.h"

namespace kav::tools {

class PicturePage final : public host::PageSource {
 public:
  PicturePage(const Image& picture, uint32_t width, uint32_t height);
  void Row(uint32_t y, uint8_t* rgb) const override;

 private:
  const Image& picture_;
};

// A test page drawn in code at any resolution, laid out in millimetres: a
// frame, lines of text-like marks, a gray ramp, colour patches, a smooth
// colour field and a strip of fine noise (which the row codec cannot shrink).
class SamplePage final : public host::PageSource {
 public:
  SamplePage(uint32_t width, uint32_t height, uint32_t dpi);
  void Row(uint32_t y, uint8_t* rgb) const override;

 private:
  struct Span {
    int64_t x0, x1;  // pixels, x1 excluded
  };
  struct Box {
    int64_t x0, y0, x1, y1;
  };
  int64_t Px(double millimetres) const;
  void Fill(uint8_t* rgb, int64_t x0, int64_t x1, uint8_t r, uint8_t g, uint8_t b) const;

  uint32_t dpi_;
  Box frame_{};
  int64_t frameThickness_ = 0;
  std::vector<Box> textLines_;
  std::vector<std::vector<Span>> words_;  // per text line
  Box ramp_{};
  std::vector<Box> patches_;
  Box field_{};
  Box noise_{};
};

}  // namespace kav::tools
