// How a library of the Linux build carries its string-table resource: the
// string blocks that the resource compiler makes on Windows, kept in an ELF
// note (section ".note.kav.strings"), so the loader maps them with the library
// and LoadStringW finds them through the library's program headers. Written
// by the build tool platform/tools/string_note_generator, read by
// resources.cpp; both take the layout from here.
//
// The note's descriptor is a run of 16-bit units in the machine's byte order:
//   language id, block count,
//   then per block: its resource name (string id / 16 + 1), the count of
//   units that follow for the block, and the block itself: 16 entries, each a
//   length and that many UTF-16 units, without a terminating null.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kav::string_note {

inline constexpr char kSectionName[] = ".note.kav.strings";
inline constexpr char kOwner[] = "kav";  // with its null: the note's 4-byte name
inline constexpr uint32_t kType = 1;
inline constexpr unsigned kEntriesPerBlock = 16;
inline constexpr size_t kLargestCount = 0xFFFF;  // of a text's units, of a block's units, of blocks

using Units = std::span<const char16_t>;

struct Block {
  uint16_t name;  // string id / 16 + 1
  Units entries;  // 16 counted entries
};

struct Table {
  uint16_t language;
  std::vector<Block> blocks;
};

inline uint16_t BlockName(uint16_t id) { return static_cast<uint16_t>(id / kEntriesPerBlock + 1); }

// The descriptor of `texts` (by string id); none when a text or a block is
// longer than its 16-bit count can say.
inline std::optional<std::vector<char16_t>> Descriptor(uint16_t language,
                                                       const std::map<uint16_t, std::u16string>& texts) {
  std::map<uint16_t, std::array<const std::u16string*, kEntriesPerBlock>> blocks;
  for (const auto& [id, text] : texts) blocks[BlockName(id)][id % kEntriesPerBlock] = &text;
  std::vector<char16_t> units = {language, static_cast<char16_t>(blocks.size())};
  for (const auto& [name, entries] : blocks) {
    units.push_back(name);
    const size_t countAt = units.size();
    units.push_back(0);
    for (const std::u16string* text : entries) {
      const size_t length = text == nullptr ? 0 : text->size();
      if (length > kLargestCount) return std::nullopt;
      units.push_back(static_cast<char16_t>(length));
      if (text != nullptr) units.insert(units.end(), text->begin(), text->end());
    }
    const size_t count = units.size() - countAt - 1;
    if (count > kLargestCount) return std::nullopt;
    units[countAt] = static_cast<char16_t>(count);
  }
  return units;
}

// True when the 16 entries fill the block exactly.
inline bool WellFormedBlock(Units block) {
  size_t at = 0;
  for (unsigned entry = 0; entry < kEntriesPerBlock; ++entry) {
    if (at >= block.size() || block.size() - at - 1 < block[at]) return false;
    at += 1 + size_t{block[at]};
  }
  return at == block.size();
}

// The table a descriptor holds, every block checked to its end; none when a
// count runs past the descriptor or leaves units over.
inline std::optional<Table> ParseDescriptor(Units units) {
  if (units.size() < 2) return std::nullopt;
  Table table{units[0], {}};
  const uint16_t blockCount = units[1];
  size_t at = 2;
  for (uint16_t i = 0; i < blockCount; ++i) {
    if (units.size() - at < 2) return std::nullopt;
    const uint16_t name = units[at];
    const size_t count = units[at + 1];
    at += 2;
    if (units.size() - at < count || !WellFormedBlock(units.subspan(at, count))) return std::nullopt;
    table.blocks.push_back({name, units.subspan(at, count)});
    at += count;
  }
  if (at != units.size()) return std::nullopt;
  return table;
}

inline const Block* FindBlock(const Table& table, uint16_t name) {
  for (const Block& block : table.blocks) {
    if (block.name == name) return &block;
  }
  return nullptr;
}

// The text of entry `index` (0 to 15) of a well-formed block, not
// null-terminated; an empty entry points at the next entry's length, as the
// resource block on Windows does.
inline Units EntryText(const Block& block, unsigned index) {
  size_t at = 0;
  for (unsigned entry = 0; entry < index; ++entry) at += 1 + size_t{block.entries[at]};
  return block.entries.subspan(at + 1, block.entries[at]);
}

}  // namespace kav::string_note
