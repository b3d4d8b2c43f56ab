// The string note of the Linux build, both ways: a resource script read by
// the generator's reader, laid out as the note's descriptor, and read back by
// the platform's reader (the code LoadStringW runs on a loaded library).
#include "platform/linux/string_note.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "string_script.h"

namespace kav::test {
namespace {

namespace note = string_note;

// Ids on both sides of block edges, the first and last id, an empty text, a
// quote, text beyond the basic plane (a surrogate pair) and Japanese.
constexpr char kScript[] = R"rc(// comment
#include <winresrc.h>
#pragma code_page(65001)
LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT
/* a block
   comment */
STRINGTABLE
BEGIN
  0, "first"
  15 "end of block 1"
  16, "start of block 2"
  0x20, ""
  288, "する"
  289, "12"" wide"
  65535, "last 𝄞"
END
)rc";

const std::map<uint16_t, std::u16string> kExpected = {
    {0, u"first"},  {15, u"end of block 1"}, {16, u"start of block 2"},   {32, u""},
    {288, u"する"}, {289, u"12\" wide"},     {65535, u"last \U0001D11E"},
};

std::vector<char16_t> DescriptorOf(const std::string& script) {
  std::string error;
  const std::optional<note::StringScript> strings = note::ReadStringScript(script, error);
  EXPECT_TRUE(strings.has_value()) << error;
  if (!strings) return {};
  const std::optional<std::vector<char16_t>> units = note::Descriptor(strings->language, strings->texts);
  EXPECT_TRUE(units.has_value());
  return units.value_or(std::vector<char16_t>{});
}

// The text of `id` as the platform's reader finds it; none without its block.
std::optional<std::u16string> ReadBack(const note::Table& table, uint16_t id) {
  const note::Block* block = note::FindBlock(table, note::BlockName(id));
  if (block == nullptr) return std::nullopt;
  const note::Units text = note::EntryText(*block, id % 16);
  return std::u16string(text.begin(), text.end());
}

TEST(StringNoteTest, EveryTextOfTheScriptReadsBackUnderItsId) {
  const std::vector<char16_t> units = DescriptorOf(kScript);
  const std::optional<note::Table> table = note::ParseDescriptor(units);
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(table->language, 0x0411);
  std::vector<uint16_t> names;
  for (const note::Block& block : table->blocks) names.push_back(block.name);
  EXPECT_EQ(names, (std::vector<uint16_t>{1, 2, 3, 19, 4096}));
  for (const auto& [id, text] : kExpected) EXPECT_EQ(ReadBack(*table, id), text) << "id " << id;
  // Ids of a block that holds other texts are empty; ids of no block are absent.
  for (const uint16_t id : {1, 14, 17, 33, 290, 65534}) EXPECT_EQ(ReadBack(*table, id), u"") << "id " << id;
  for (const uint16_t id : {48, 287, 304, 65519}) EXPECT_EQ(ReadBack(*table, id), std::nullopt) << "id " << id;
}

TEST(StringNoteTest, DamagedDescriptorsAreRefused) {
  const std::vector<char16_t> units = DescriptorOf(kScript);
  ASSERT_TRUE(note::ParseDescriptor(units).has_value());
  for (size_t size = 0; size < units.size(); ++size) {
    EXPECT_FALSE(note::ParseDescriptor(note::Units(units).first(size)).has_value()) << "cut to " << size << " units";
  }
  const auto damaged = [&](size_t at, int change) {
    std::vector<char16_t> copy = units;
    copy[at] = static_cast<char16_t>(copy[at] + change);
    return note::ParseDescriptor(copy).has_value();
  };
  std::vector<char16_t> longer = units;
  longer.push_back(0);
  EXPECT_FALSE(note::ParseDescriptor(longer).has_value()) << "a unit over";
  EXPECT_FALSE(damaged(1, +1)) << "one block more than there are";
  EXPECT_FALSE(damaged(1, -1)) << "one block less than there are";
  EXPECT_FALSE(damaged(3, -1)) << "the first block's count one short";
  EXPECT_FALSE(damaged(4, +1)) << "the first entry longer than it is";
  EXPECT_FALSE(damaged(4, 0x7000)) << "the first entry past the end";
}

TEST(StringNoteTest, TextsAndBlocksLongerThanTheirCountsAreRefused) {
  const std::u16string longest(0xFFFF - 16, u'x');  // with 16 lengths, a block of exactly 0xFFFF units
  EXPECT_TRUE(note::Descriptor(0x0409, {{5, longest}}).has_value());
  EXPECT_FALSE(note::Descriptor(0x0409, {{5, longest + u"x"}}).has_value());
  EXPECT_FALSE(note::Descriptor(0x0409, {{5, std::u16string(0x10000, u'x')}}).has_value());
  EXPECT_TRUE(note::Descriptor(0x0409, {{5, longest}, {16, longest}}).has_value()) << "in two blocks";
}

TEST(StringNoteTest, ScriptsOutsideTheReadPartAreRefusedWithTheirLine) {
  const struct {
    const char* script;
    const char* error;
  } cases[] = {
      {"LANGUAGE 9, 1\nSTRINGTABLE\n{\n 1, \"a\\tb\"\n}\n", "line 4: escape sequences are not supported in texts"},
      {"LANGUAGE 9, 1\nSTRINGTABLE {\n 1, \"a\"\n 1, \"b\"\n}\n", "line 4: string id 1 given twice"},
      {"LANGUAGE 9, 1\nSTRINGTABLE {\n 1, \"\xC3\xA9\"\n}\n",
       "line 3: texts beyond ASCII need #pragma code_page(65001) first"},
      {"#pragma code_page(65001)\nLANGUAGE 9, 1\nSTRINGTABLE {\n 1, \"\xC3\"\n}\n", "line 4: text is not valid UTF-8"},
      {"STRINGTABLE {\n 1, \"a\"\n}\n", "line 1: STRINGTABLE before any LANGUAGE statement"},
      {"LANGUAGE 9, 1\nSTRINGTABLE { 1, \"a\" }\nLANGUAGE 17, 1\nSTRINGTABLE { 2, \"b\" }\n",
       "line 4: the string table may have one language only"},
      {"LANGUAGE 9, 1\nSTRINGTABLE { 65536, \"a\" }\n", "line 2: string id out of range: 65536"},
      {"LANGUAGE 9, 1\nSTRINGTABLE { 1, \"a }\n", "line 2: unterminated text"},
      {"#define X 1\n", "line 1: unsupported directive: #define X 1"},
      {"LANGUAGE 9, 1\n\n", "line 3: the script holds no strings"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(note::ReadStringScript(c.script, error).has_value()) << c.script;
    EXPECT_EQ(error, c.error) << c.script;
  }
}

}  // namespace
}  // namespace kav::test
