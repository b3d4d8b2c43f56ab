// Input echoed in the tools' messages. Every message is one line, so a
// value with a line break cannot forge a second one, and a long value is cut.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kav::tools {

// Bytes of an echoed value shown before it is cut.
inline constexpr size_t kShownLength = 60;

// The text in double quotes, with quotes, backslashes and control
// characters as escapes (\n, \x01), cut after kShownLength bytes with "...".
std::string ShownText(std::string_view text);

// A word as typed when it is short and printable, else as ShownText shows it.
std::string ShownWord(std::string_view text);

// The message with every control character escaped, so it stays one line.
std::string OneLine(std::string_view message);

}  // namespace kav::tools
