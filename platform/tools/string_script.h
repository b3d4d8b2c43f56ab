// The Linux build's reader of a library's string-table resource script, the
// one source of the texts that the Windows build gives to the resource
// compiler.
//
// It reads the part of the resource language that the script uses and stops
// with an error on anything else, so both builds carry the same texts:
// `#include` lines (for the resource compiler's preprocessor), `#pragma
// code_page(65001)`, `LANGUAGE primary, sub`, `STRINGTABLE BEGIN id, "text"
// ... END` (braces for BEGIN and END, the comma optional, `""` inside a text
// for one double quote), and comments of both kinds.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace kav::string_note {

// The strings of a script, all in one language.
struct StringScript {
  uint16_t language = 0;
  std::map<uint16_t, std::u16string> texts;  // by id
};

// The strings of `source`; none, with `error` saying "line N: what", for a
// script outside that part of the language or holding no strings.
std::optional<StringScript> ReadStringScript(const std::string& source, std::string& error);

}  // namespace kav::string_note
