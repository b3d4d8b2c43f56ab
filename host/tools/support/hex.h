// Bytes written as hex digits: in replay scripts and write lists, in the
// tools' messages and listings, and in the tests' golden byte strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kav::tools {

// The value of one hex digit of either case, or -1.
int HexDigitValue(char c);

// Two lower-case digits per byte, with `separator` between bytes unless it is 0.
void AppendHex(std::string& out, const uint8_t* bytes, size_t size, char separator = 0);

// One byte as messages and listings show it: "0x7b".
std::string ByteText(uint8_t value);

// Reads pairs of hex digits of either case into `bytes`; spaces between pairs
// are allowed for reading's sake. Answers the offset of the first pair that is
// not two digits, or std::string_view::npos when the whole text was read.
size_t ParseHex(std::string_view text, std::vector<uint8_t>& bytes);

}  // namespace kav::tools
