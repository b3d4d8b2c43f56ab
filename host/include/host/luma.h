// The gray of a red-green-blue pixel, as the host makes gray and 1-bit bands
// of a colour page and as the tools turn colour pictures gray.
#pragma once

#include <cstdint>

namespace kav {

// The usual luma weights, rounded.
inline uint8_t Luma(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint8_t>((299u * r + 587u * g + 114u * b + 500u) / 1000u);
}

}  // namespace kav
