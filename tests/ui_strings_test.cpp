// The UI library's display strings, read back through LoadStringW the way the
// host's user interface reads them: from the DLL's resource on Windows, from
// the library's string note on Linux. The expected texts are typed here on
// their own, not taken from the resource script, so a wrong character in the
// script shows.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "host/printer_description.h"
#include "host/ui_session.h"
#include "platform/wide_text.h"

namespace kav::test {
namespace {

struct DisplayString {
  UINT id;
  std::u16string_view text;
};

// The inch sign is the ASCII double quote; the few characters that are easily
// mistaken for others are written as escapes: U+00D7 multiplication sign,
// U+FF0F full-width solidus, U+00B0 degree sign, U+30F5 small katakana ka.
// Id 402 reads ペーバー, letter for letter.
constexpr DisplayString kDisplayStrings[] = {
    {288, u"する"},
    {289, u"しない"},
    {298, u"なし"},
    {299, u"あり"},
    {308, u"リアトレイ(おもて面排出)"},
    {309, u"オフセット排出トレイ"},
    {310, u"排出トレイ"},
    {311, u"センタートレイ"},
    {312, u"サイドトレイ"},
    {313, u"フィニッシャートレイ"},
    {314, u"フィニッシャートレイ1"},
    {315, u"フィニッシャートレイ2"},
    {316, u"フィニッシャートレイ3"},
    {317, u"メールボックスビン1"},
    {318, u"メールボックスビン2"},
    {319, u"メールボックスビン3"},
    {320, u"メールボックスビン4"},
    {321, u"メールボックスビン5"},
    {322, u"メールボックスビン6"},
    {323, u"メールボックスビン7"},
    {324, u"メールボックスビン8"},
    {325, u"メールボックスビン9"},
    {326, u"メールボックスビン10"},
    {327, u"サイドトレイ(おもて面排出)"},
    {328, u"サイドトレイ(うら面排出)"},
    {330, u"封筒 モナーク (98x191mm)"},
    {331, u"封筒 #10 (105x241mm)"},
    {332, u"封筒 DL (110x220mm)"},
    {333, u"封筒 C5 (162x229mm)"},
    {334, u"5x7\""},
    {335, u"9x11\" (表紙レター)"},
    {336, u"11x15\""},
    {337, u"表紙A4 (223x297mm)"},
    {338, u"往復はがき (148x200mm)"},
    {339, u"長尺紙 (297\u00D7900mm)"},
    {340, u"8x10\""},
    {341, u"12x18\""},
    {342, u"12x19\""},
    {343, u"7.25x10.5\""},
    {344, u"SRA3 (320x450mm)"},
    {345, u"封筒 洋形 2 号 (114x162mm)"},
    {346, u"封筒 洋形 3 号 (98x148mm)"},
    {347, u"封筒 長形 3 号 (120x235mm)"},
    {348, u"封筒 長形 3 号 [洋] (120x235mm)"},
    {349, u"八開 (267x388mm)"},
    {350, u"十六開 (194x267mm)"},
    {360, u"上質紙"},
    {361, u"上質紙うら面"},
    {362, u"普通紙うら面"},
    {363, u"再生紙"},
    {364, u"再生紙うら面"},
    {365, u"厚紙1"},
    {366, u"厚紙1うら面"},
    {373, u"厚紙2"},
    {374, u"厚紙2うら面"},
    {375, u"特殊厚紙1"},
    {376, u"特殊厚紙2"},
    {379, u"うす紙"},
    {384, u"コート紙1"},
    {385, u"コート紙1うら面"},
    {388, u"コート紙2"},
    {389, u"コート紙2うら面"},
    {390, u"電飾フィルム"},
    {391, u"専用光沢紙"},
    {394, u"封筒"},
    {397, u"はがき"},
    {398, u"はがきうら面"},
    {399, u"不透明フィルム"},
    {400, u"タックフィルム"},
    {401, u"耐水フィルム"},
    {402, u"トレーシングペーバー"},
    {403, u"OHPフィルム"},
    {404, u"ラベル紙"},
    {405, u"特殊封筒1"},
    {406, u"特殊封筒2"},
    {407, u"特殊封筒3"},
    {410, u"オフセット排出トレイ"},
    {411, u"内蔵ハードディスク"},
    {412, u"両面ユニット"},
    {414, u"パンチ付きフィニッシャー"},
    {415, u"4段トレイ(大容量)"},
    {416, u"リアトレイ"},
    {419, u"1トレイユニット"},
    {420, u"3トレイユニット"},
    {421, u"3トレイユニット(大容量)"},
    {422, u"4トレイユニット"},
    {423, u"フィニッシャー"},
    {424, u"サイドトレイ"},
    {425, u"メールボックス"},
    {426, u"メールボックス\uFF0Fソーター"},
    {427, u"メールボックス\uFF0Fフィニッシャー"},
    {428, u"追加トレイユニット"},
    {429, u"仕分けトレイ"},
    {430, u"大容量給紙トレイ"},
    {431, u"パンチ穴の設定"},
    {432, u"フィニッシャーQ"},
    {434, u"手差しトレイ"},
    {435, u"4段トレイ"},
    {436, u"マルチトレイ"},
    {440, u"ソート[一部ごと]"},
    {450, u"オフセット排出"},
    {451, u"しない"},
    {452, u"セットごとにずらす"},
    {453, u"ジョブごとにずらす"},
    {460, u"自動"},
    {461, u"トレイ1"},
    {462, u"トレイ1(手差し)"},
    {463, u"トレイ2"},
    {464, u"トレイ2-1"},
    {465, u"トレイ2-2"},
    {466, u"トレイ2-3"},
    {467, u"トレイ3"},
    {468, u"トレイ4"},
    {469, u"トレイ3(大容量)"},
    {470, u"トレイ4(大容量)"},
    {471, u"トレイ5(手差し)"},
    {472, u"トレイ6(大容量)"},
    {480, u"ホチキス"},
    {481, u"左上1\u30F5所"},
    {482, u"上2\u30F5所"},
    {483, u"右上1\u30F5所"},
    {484, u"左2\u30F5所"},
    {485, u"右2\u30F5所"},
    {486, u"左下1\u30F5所"},
    {487, u"下2\u30F5所"},
    {488, u"右下1\u30F5所"},
    {490, u"パンチ"},
    {491, u"左"},
    {492, u"上"},
    {493, u"右"},
    {494, u"下"},
    {551, u"180\u00B0回転"},
    {570, u"150枚トレイ"},
    {571, u"250枚トレイ"},
    {572, u"550枚トレイ"},
    {573, u"なし"},
    {574, u"2穴"},
    {575, u"3穴"},
    {576, u"4穴"},
    {1000, u"インナー排出トレイ"},
    {1001, u"2トレイユニット"},
    {1002, u"4トレイユニット(大容量)"},
    {1003, u"給紙トレイ構成"},
    {1004, u"大容量キャビネット(外付け)"},
    {1005, u"大容量給紙トレイ"},
    {1006, u"1トレイ構成"},
    {1007, u"2トレイ構成"},
    {1008, u"3トレイ構成"},
    {1009, u"4トレイ構成"},
    {1010, u"5トレイ構成"},
    {2000, u"トレイ7(大容量)"},
    {2001, u"トレイ6"},
    {3000, u"ラベル紙1"},
    {3001, u"ラベル紙2"},
    {3002, u"穴あき紙"},
    {3003, u"タブ紙1"},
    {3004, u"タブ紙2"},
    {4000, u"12.6x19.2\""},
    {4001, u"13x18\""},
    {4002, u"13x19\""},
    {4003, u"封筒 C4 (229x324mm)"},
    {4004, u"かんばん S (85x190mm)"},
    {4005, u"かんばん (85x200mm)"},
    {4006, u"かんばん L (95x200mm)"},
    {4007, u"現品票 (85x276mm)"},
    {4008, u"現品票 L (105x276mm)"},
    {4009, u"八開 (270x390mm)"},
    {4010, u"十六開 (195x270mm)"},
    {4011, u"4x6\""},
    {4012, u"8.46x12.4\""},
    {4013, u"長尺紙A (900x297mm)"},
    {4014, u"長尺紙B (1200x297mm)"},
    {4015, u"長尺紙 (900x210mm)"},
    {5000, u"センタートレイ上段"},
    {6000, u"グレースケール"},
    {7000, u"手差し用紙の給紙方向"},
    {7001, u"よこ置き優先"},
    {7002, u"たて置き優先"},
};

constexpr WORD kJapanese = 0x0411;

std::string Utf8(std::u16string_view text) { return ToUtf8(WideString(text.begin(), text.end())); }

const DisplayString* Find(UINT id) {
  for (const DisplayString& entry : kDisplayStrings) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

std::u16string_view ExpectedText(UINT id) {
  const DisplayString* entry = Find(id);
  return entry == nullptr ? std::u16string_view() : entry->text;
}

class UiStringsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(session.Open(host::PluginBesideProgram("kavui"), error)) << error;
  }

  HINSTANCE module() const { return session.library().module(); }

  // LoadStringW with a buffer size of 0: the text's length, and its address
  // stored through the buffer argument.
  int TextInPlace(UINT id, const WCHAR*& text) const {
    return LoadStringW(module(), id, reinterpret_cast<LPWSTR>(&text), 0);
  }

  host::UiSession session;
};

TEST_F(UiStringsTest, EveryDisplayStringReadsBackExactly) {
  EXPECT_EQ(std::size(kDisplayStrings), 178u);
  for (const DisplayString& entry : kDisplayStrings) {
    const std::optional<std::u16string> text = session.LoadDisplayString(entry.id);
    ASSERT_TRUE(text.has_value()) << entry.id;
    EXPECT_EQ(*text, entry.text) << entry.id << ": got " << Utf8(*text) << ", want " << Utf8(entry.text);
  }
}

TEST_F(UiStringsTest, NoOtherIdHasAText) {
  for (UINT id = 0; id <= 0xFFFF; ++id) {
    const WCHAR* text = nullptr;
    const int length = TextInPlace(id, text);
    EXPECT_EQ(length, static_cast<int>(ExpectedText(id).size())) << id;
  }
  for (UINT id : {0u, 290u, 329u, 1011u, 65535u}) EXPECT_FALSE(session.LoadDisplayString(id).has_value()) << id;
}

TEST_F(UiStringsTest, TheTableIsInJapaneseOnly) {
  std::map<WORD, std::set<WORD>> expected;
  for (const DisplayString& entry : kDisplayStrings) expected[static_cast<WORD>(entry.id / 16 + 1)] = {kJapanese};
  EXPECT_EQ(expected.size(), 24u);
  EXPECT_EQ(session.StringBlockLanguages(), expected);
}

TEST_F(UiStringsTest, ASmallBufferGetsTheTextCutAndTerminated) {
  const std::u16string_view monarch = ExpectedText(330);
  const int length = static_cast<int>(monarch.size());
  for (int bufferMax : {2, 5, length, length + 1, length + 8}) {
    WCHAR buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), WCHAR{0x2A});
    const int copied = LoadStringW(module(), 330, buffer, bufferMax);
    const int want = std::min(bufferMax - 1, length);
    ASSERT_EQ(copied, want) << bufferMax;
    EXPECT_EQ(std::u16string(buffer, buffer + copied), monarch.substr(0, static_cast<size_t>(want))) << bufferMax;
    EXPECT_EQ(buffer[copied], 0) << bufferMax;
    EXPECT_EQ(buffer[copied + 1], 0x2A) << bufferMax;
  }
  // Room for the null alone: nothing is copied, not even the null.
  WCHAR buffer[2] = {0x2A, 0x2A};
  EXPECT_EQ(LoadStringW(module(), 330, buffer, 1), 0);
  EXPECT_EQ(buffer[0], 0x2A);
  EXPECT_EQ(LoadStringW(module(), 330, nullptr, 10), 0);
}

TEST_F(UiStringsTest, BufferSizeZeroHandsOutTheTextInPlace) {
  const WCHAR* text = nullptr;
  const int length = TextInPlace(339, text);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text, text + length), ExpectedText(339));
  const WCHAR* again = nullptr;
  EXPECT_EQ(TextInPlace(339, again), length);
  EXPECT_EQ(again, text);  // the library's own copy, not a fresh one
  // Another id in the same block lies in the same resource block.
  const WCHAR* neighbour = nullptr;
  ASSERT_GT(TextInPlace(338, neighbour), 0);
  EXPECT_EQ(neighbour + ExpectedText(338).size() + 1, text);
}

// An id without a text whose block holds other texts reads as an empty text;
// an id whose whole block is absent is not found, and nothing is written.
TEST_F(UiStringsTest, IdsWithoutTextAnswerZero) {
  for (UINT id : {290u, 329u}) {
    WCHAR buffer[4] = {0x2A, 0x2A, 0x2A, 0x2A};
    EXPECT_EQ(LoadStringW(module(), id, buffer, 4), 0) << id;
    EXPECT_EQ(buffer[0], 0) << id;
    EXPECT_EQ(buffer[1], 0x2A) << id;
    const WCHAR* text = nullptr;
    EXPECT_EQ(TextInPlace(id, text), 0) << id;
    EXPECT_NE(text, nullptr) << id;
  }
  for (UINT id : {0u, 65535u}) {
    WCHAR buffer[4] = {0x2A, 0x2A, 0x2A, 0x2A};
    EXPECT_EQ(LoadStringW(module(), id, buffer, 4), 0) << id;
    EXPECT_EQ(buffer[0], 0x2A) << id;
    const WCHAR* text = nullptr;
    EXPECT_EQ(TextInPlace(id, text), 0) << id;
    EXPECT_EQ(text, nullptr) << id;
  }
}

TEST_F(UiStringsTest, ALibraryWithoutAStringTableHasNoText) {
  host::PluginLibrary render;
  std::string error;
  ASSERT_TRUE(render.Load(host::PluginBesideProgram("kavrender"), error)) << error;
  for (HMODULE module : {render.module(), HMODULE{nullptr}}) {  // the render library, the test program
    WCHAR buffer[4] = {0x2A, 0x2A, 0x2A, 0x2A};
    EXPECT_EQ(LoadStringW(module, 288, buffer, 4), 0);
    EXPECT_EQ(buffer[0], 0x2A);
    const WCHAR* text = nullptr;
    EXPECT_EQ(LoadStringW(module, 288, reinterpret_cast<LPWSTR>(&text), 0), 0);
    EXPECT_EQ(text, nullptr);
  }
}

// The packaged printer description names features and options by string
// id; the UI library, its resource DLL, holds every one of them (a
// description naming an id without a text is caught).
TEST_F(UiStringsTest, EveryStringThePrinterDescriptionNamesIsThere) {
  const auto missing = [this](const host::PrinterDescription& description) {
    std::vector<uint32_t> ids;
    for (uint32_t id : description.NameIds()) {
      const std::optional<std::u16string> text = session.LoadDisplayString(id);
      if (!text || text->empty()) ids.push_back(id);
    }
    return ids;
  };
  const auto description = host::PrinterDescription::Read(host::ProgramDescription());
  ASSERT_TRUE(description.ok()) << description.error();
  EXPECT_GE(description->NameIds().size(),
            40u);  // the sheets' names, grayscale, the rotation and its choices, the tray
  EXPECT_EQ(missing(*description), std::vector<uint32_t>{});
  std::ifstream file(host::ProgramDescription(), std::ios::binary);
  std::ostringstream read;
  read << file.rdbuf();
  std::string text = read.str();
  const size_t at = text.find("*rcNameID: 6000");
  ASSERT_NE(at, std::string::npos);
  const auto planted = host::PrinterDescription::FromText(text.replace(at + 11, 4, "329"), "planted.gpd");
  ASSERT_TRUE(planted.ok()) << planted.error();
  EXPECT_EQ(missing(*planted), std::vector<uint32_t>{329});
}

}  // namespace
}  // namespace kav::test
