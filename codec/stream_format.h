// The bytes that shape the row codec's stream, shared by the encoder and the
// reader so the two cannot drift apart.
#pragma once

#include <cstdint>

namespace kav::stream {

constexpr uint8_t kRepeatItem = 0x00;    // the row equals the seed row
constexpr uint8_t kBlankRunItem = 0x01;  // followed by the run length - 1
// A record's offset field at this value is continued in the bytes after it.
constexpr uint32_t kOffsetEscape = 31;
// A count byte at this value is followed by a further count byte.
constexpr uint32_t kCountContinues = 255;

}  // namespace kav::stream
