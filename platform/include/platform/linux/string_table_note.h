// How a library of the Linux build carries its string-table resource: the
// string blocks that the resource compiler makes on Windows, kept in an ELF
// note (section ".note.kav.strings"), so the loader maps them with the library
// and LoadStringW finds them through the library's program headers.
//
// The note's descriptor is a run of 16-bit units in the machine's byte order:
//   language id, block count,
//   then per block: its resource name (string id / 16 + 1), the count of
//   units that follow for the block, and the block itself: 16 entries, each a
//   length and that many UTF-16 units, without a terminating null.
#pragma once

#include <cstdint>

namespace kav::string_note {

inline constexpr char kSectionName[] = ".note.kav.strings";
inline constexpr char kOwner[] = "kav";  // with its null: the note's 4-byte name
inline constexpr uint32_t kType = 1;
inline constexpr unsigned kEntriesPerBlock = 16;

}  // namespace kav::string_note
