// What the page placement matrix ("Aa") says of the page: its resolution
// (the scale is 72/dpi) and its turn. Read the same way by `kavjob inspect`
// and `kavjob decode`.
#pragma once

#include <cstdint>

namespace kav::tools {

struct Placement {
  uint32_t dpi = 0;  // 0: unknown (no scale, or not a number)
  bool landscape = false;
  bool turned = false;  // half a turn
};

// The six numbers m1 to m6 of the matrix.
Placement ReadPlacement(const float* m);

}  // namespace kav::tools
