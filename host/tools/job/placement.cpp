#include "job/placement.h"

#include <cmath>

namespace kav::tools {
namespace {

// Resolutions outside this range are no printer's; they read as unknown.
constexpr double kLeastDpi = 1;
constexpr double kMostDpi = 100000;

}  // namespace

Placement ReadPlacement(const float* m) {
  Placement placement;
  placement.landscape = m[0] == 0;
  const float scale = placement.landscape ? m[1] : m[0];
  placement.turned = scale < 0;
  if (!std::isfinite(scale) || scale == 0) return placement;
  const double dpi = 72.0 / std::fabs(scale);
  if (dpi >= kLeastDpi && dpi <= kMostDpi) placement.dpi = static_cast<uint32_t>(std::lround(dpi));
  return placement;
}

}  // namespace kav::tools
