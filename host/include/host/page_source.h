// The pixels of a page's printable surface, one row at a time, in
// red-green-blue, as the host renders them into bands.
#pragma once

#include <cstdint>

namespace kav::host {

class PageSource {
 public:
  virtual ~PageSource() = default;
  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  // Fills `rgb` with the width() pixels of row y (0 is the top row).
  virtual void Row(uint32_t y, uint8_t* rgb) const = 0;

 protected:
  PageSource(uint32_t width, uint32_t height) : width_(width), height_(height) {}

 private:
  uint32_t width_;
  uint32_t height_;
};

}  // namespace kav::host
