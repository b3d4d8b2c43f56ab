// Byte strings for golden tests: written as hex, compared with the first
// differing offset in the failure message.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kav::test {

using Bytes = std::vector<uint8_t>;

// "43 71 00" or "437100": hex digit pairs, spaces between pairs ignored.
Bytes Hex(std::string_view text);
std::string ToHex(const Bytes& bytes, size_t limit = 64);

::testing::AssertionResult SameBytes(const Bytes& got, const Bytes& want);

Bytes Concat(const std::vector<Bytes>& parts);

}  // namespace kav::test
