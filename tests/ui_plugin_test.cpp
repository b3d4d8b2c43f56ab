// The UI library's plug-in object through the loaded library, and the object
// lifetime that sets its frame apart (the shared contract: com_frame_test).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bytes.h"
#include "host/ui_session.h"
#include "library_fixture.h"

namespace kav::test {
namespace {

constexpr DWORD kUntouchedError = 1234;

template <class T>
Bytes BytesOf(const T& value) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
  return Bytes(bytes, bytes + sizeof(T));
}

class UiFrameTest : public LibraryTest {
 protected:
  UiFrameTest() : LibraryTest("kavui") {}
  IPrintOemUI* CreatePlugin() { return Create<IPrintOemUI>(kClsidUiPlugin, kIidPrintOemUI); }
};

TEST_F(UiFrameTest, ObjectDiesAtItsLastReleaseAndLetsGoOfTheHelperOnce) {
  const long heapBefore = standins != nullptr ? standins->LiveHeapBlocks() : 0;
  IPrintOemUI* plugin = CreatePlugin();
  ASSERT_NE(plugin, nullptr);
  auto* helper = new host::UiDriverHelper;
  ASSERT_EQ(plugin->PublishDriverInterface(helper), S_OK);
  EXPECT_EQ(helper->references(), 2);
  // The caller's reference is the only one: no extra one is kept.
  EXPECT_EQ(plugin->AddRef(), 2u);
  EXPECT_EQ(plugin->Release(), 1u);
  EXPECT_EQ(helper->references(), 2);
  EXPECT_EQ(plugin->Release(), 0u);
  EXPECT_EQ(helper->references(), 1);
  if (standins != nullptr) {
    EXPECT_EQ(standins->LiveHeapBlocks(), heapBefore);
  }
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
  helper->Release();
}

TEST_F(UiFrameTest, PublishFailsWithoutAUiHelperAndTakesOneLater) {
  IPrintOemUI* plugin = CreatePlugin();
  ASSERT_NE(plugin, nullptr);
  NoHelper noHelper;
  EXPECT_EQ(plugin->PublishDriverInterface(&noHelper), E_FAIL);
  EXPECT_EQ(plugin->PublishDriverInterface(nullptr), E_FAIL);
  auto* helper = new host::UiDriverHelper;
  EXPECT_EQ(plugin->PublishDriverInterface(helper), S_OK);
  EXPECT_EQ(helper->references(), 2);
  plugin->Release();
  EXPECT_EQ(helper->references(), 1);
  helper->Release();
}

class UiObjectTest : public StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    std::string error;
    ASSERT_TRUE(session.Open(host::PluginBesideProgram("kavui"), error)) << error;
  }
  IPrintOemUI* plugin() { return session.plugin(); }
  host::UiDriverHelper& helper() { return session.helper(); }

  host::UiSession session;
};

TEST_F(UiObjectTest, DevModeIsThePrivateRecordHandler) {
  OEMDMPARAM param{};
  param.cbSize = sizeof param;
  EXPECT_EQ(plugin()->DevMode(OEMDM_SIZE, &param), S_OK);
  EXPECT_EQ(param.cbBufSize, 16u);
  uint8_t record[16] = {};
  param.pOEMDMOut = record;
  EXPECT_EQ(plugin()->DevMode(OEMDM_DEFAULT, &param), S_OK);
  EXPECT_TRUE(SameBytes(Bytes(record, record + 16), Hex("10000000 5446534D 01000000 00000000")));
}

TEST_F(UiObjectTest, SecondPublishKeepsTheFirstHelper) {
  auto* other = new host::UiDriverHelper;
  EXPECT_EQ(plugin()->PublishDriverInterface(other), S_OK);
  EXPECT_EQ(other->queryInterfaceCalls(), 0u);
  EXPECT_EQ(other->references(), 1);
  other->Release();
  EXPECT_EQ(helper().references(), 2);  // ours and the plug-in's

  host::PropertyItems items;
  items.Add(DMPUB_DEFSOURCE, 3, 0);
  ASSERT_EQ(session.CommonUIProp(items), S_OK);
  EXPECT_EQ(helper().updates().size(), 1u);  // the first helper is the one told
}

TEST_F(UiObjectTest, UnservedSlotsAnswerNotImplementedAndTouchNothing) {
  IPrintOemUI* ui = plugin();
  DWORD result = 0xCCCCCCCC;
  uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  WCHAR name[] = {'P', 0};
  EXPECT_EQ(ui->DocumentPropertySheets(data, 1), E_NOTIMPL);
  EXPECT_EQ(ui->DevicePropertySheets(data, 1), E_NOTIMPL);
  EXPECT_EQ(ui->DevQueryPrintEx(session.uiObject(), data, nullptr, data), E_NOTIMPL);
  EXPECT_EQ(ui->DeviceCapabilities(session.uiObject(), nullptr, name, 1, data, nullptr, data, 0, &result), E_NOTIMPL);
  EXPECT_EQ(ui->UpgradePrinter(1, data), E_NOTIMPL);
  EXPECT_EQ(ui->PrinterEvent(name, 1, 0, 0), E_NOTIMPL);
  EXPECT_EQ(ui->DriverEvent(1, 1, data, 0), E_NOTIMPL);
  EXPECT_EQ(ui->FontInstallerDlgProc(nullptr, 0, 0, 0), E_NOTIMPL);
  EXPECT_EQ(ui->UpdateExternalFonts(nullptr, nullptr, name), E_NOTIMPL);
  EXPECT_EQ(result, 0xCCCCCCCCu);
  EXPECT_TRUE(SameBytes(Bytes(data, data + 8), Hex("0102030405060708")));
  EXPECT_EQ(name[0], 'P');
  EXPECT_TRUE(helper().updates().empty());
}

// --- CommonUIProp ---

void ExpectOptionFlags(host::PropertyItems& items, size_t index, const std::vector<BYTE>& flags) {
  for (size_t k = 0; k < flags.size(); ++k) EXPECT_EQ(items.option(index, k).Flags, flags[k]) << "option " << k;
}

TEST_F(UiObjectTest, PaperSourceOnTheFirstOptionMovesToTheSecondAndTellsTheHost) {
  // The plug-in does the same for document and printer property sheets.
  for (DWORD mode : {DWORD{OEMCUIP_DOCPROP}, DWORD{OEMCUIP_PRNPROP}}) {
    helper().ClearUpdates();
    host::PropertyItems items;
    items.Add(1, 2, 0);  // orientation
    const size_t source = items.Add(DMPUB_DEFSOURCE, 4, 0);
    ASSERT_EQ(session.CommonUIProp(items, mode), S_OK);
    EXPECT_EQ(items.item(source).Sel, 1);
    ExpectOptionFlags(items, source, {OPTPF_HIDE | OPTPF_DISABLED, 0, 0, 0});
    ASSERT_EQ(helper().updates().size(), 1u);
    const host::UiSettingUpdate& update = helper().updates()[0];
    EXPECT_EQ(update.pci, session.uiObject());
    EXPECT_EQ(update.item, &items.item(source));
    EXPECT_EQ(update.previousSelection, 0u);
    EXPECT_EQ(update.mode, static_cast<DWORD>(OEMCUIP_DOCPROP));
    EXPECT_EQ(items.item(0).Sel, 0);  // the orientation item is not the plug-in's business
    ExpectOptionFlags(items, 0, {0, 0});
  }
}

TEST_F(UiObjectTest, PaperSourceOnALaterOptionOnlyLosesItsFirstOption) {
  host::PropertyItems items;
  const size_t source = items.Add(DMPUB_DEFSOURCE, 4, 3);
  ASSERT_EQ(session.CommonUIProp(items), S_OK);
  EXPECT_EQ(items.item(source).Sel, 3);
  ExpectOptionFlags(items, source, {OPTPF_HIDE | OPTPF_DISABLED, 0, 0, 0});
  EXPECT_TRUE(helper().updates().empty());
}

TEST_F(UiObjectTest, SecondCommonUiPropMakesNoHostCall) {
  host::PropertyItems items;
  const size_t source = items.Add(DMPUB_DEFSOURCE, 3, 0);
  ASSERT_EQ(session.CommonUIProp(items), S_OK);
  ASSERT_EQ(helper().updates().size(), 1u);
  const Bytes item = BytesOf(items.item(source));
  const Bytes first = BytesOf(items.option(source, 0));
  ASSERT_EQ(session.CommonUIProp(items), S_OK);
  EXPECT_EQ(helper().updates().size(), 1u);
  EXPECT_TRUE(SameBytes(BytesOf(items.item(source)), item));
  EXPECT_TRUE(SameBytes(BytesOf(items.option(source, 0)), first));
}

TEST_F(UiObjectTest, PaperSourceWithOneOptionOrNoneKeepsItsSelection) {
  host::PropertyItems items;
  const size_t single = items.Add(DMPUB_DEFSOURCE, 1, 0);
  const size_t none = items.Add(DMPUB_DEFSOURCE, 0, 0);
  // An option array that the empty list does not count is not the plug-in's to change.
  OPTPARAM uncounted{};
  uncounted.cbSize = sizeof uncounted;
  items.type(none).pOptParam = &uncounted;
  ASSERT_EQ(session.CommonUIProp(items), S_OK);
  EXPECT_EQ(items.item(single).Sel, 0);
  ExpectOptionFlags(items, single, {OPTPF_HIDE | OPTPF_DISABLED});
  EXPECT_EQ(items.item(none).Sel, 0);
  EXPECT_EQ(uncounted.Flags, 0);
  EXPECT_TRUE(helper().updates().empty());
}

TEST_F(UiObjectTest, PaperSourceWithoutOptionArrayOrTypeIsNotWrittenThrough) {
  host::PropertyItems items;
  const size_t noOptions = items.Add(DMPUB_DEFSOURCE, 3, 0);
  items.type(noOptions).pOptParam = nullptr;
  const size_t noType = items.AddWithoutType(DMPUB_DEFSOURCE, 0);
  const Bytes noTypeBefore = BytesOf(items.item(noType));
  ASSERT_EQ(session.CommonUIProp(items), S_OK);
  // The list still counts three sources, so the selection still leaves the first.
  EXPECT_EQ(items.item(noOptions).Sel, 1);
  EXPECT_TRUE(SameBytes(BytesOf(items.item(noType)), noTypeBefore));
  ASSERT_EQ(helper().updates().size(), 1u);
  EXPECT_EQ(helper().updates()[0].item, &items.item(noOptions));
}

TEST_F(UiObjectTest, ColourMatchingItemsAreHiddenAndNothingElseChanges) {
  host::PropertyItems items;
  const size_t method = items.Add(DMPUB_ICMMETHOD, 3, 0);
  const size_t intent = items.Add(DMPUB_ICMINTENT, 3, 0);
  for (size_t index : {method, intent}) {
    OPTITEM& item = items.item(index);
    OPTTYPE* type = item.pOptType;
    const BYTE pubId = item.DMPubID;
    std::memset(&item, 0xA5, sizeof item);  // every byte the plug-in might touch by mistake
    item.DMPubID = pubId;
    item.pOptType = type;
    std::memset(&items.option(index, 0), 0x5A, sizeof(OPTPARAM));
  }
  Bytes expected[2];
  Bytes optionsBefore[2];
  for (size_t index : {method, intent}) {
    OPTITEM hidden = items.item(index);
    hidden.Flags |= OPTIF_HIDE;
    expected[index] = BytesOf(hidden);
    optionsBefore[index] = BytesOf(items.option(index, 0));
  }
  ASSERT_EQ(session.CommonUIProp(items), S_OK);
  for (size_t index : {method, intent}) {
    EXPECT_TRUE(SameBytes(BytesOf(items.item(index)), expected[index])) << index;
    EXPECT_TRUE(SameBytes(BytesOf(items.option(index, 0)), optionsBefore[index])) << index;
  }
  EXPECT_TRUE(helper().updates().empty());
}

TEST_F(UiObjectTest, OtherItemsAreLeftAsTheyAre) {
  host::PropertyItems items;
  for (BYTE pubId : {0, 1, 2, 3, 5, 6, 7, 8, 9, 12, 13, 100, 255}) items.Add(pubId, 2, 0);
  std::vector<Bytes> before;
  for (size_t i = 0; i < items.count(); ++i) {
    before.push_back(Concat({BytesOf(items.item(i)), BytesOf(items.type(i)), BytesOf(items.option(i, 0))}));
  }
  ASSERT_EQ(session.CommonUIProp(items), S_OK);
  for (size_t i = 0; i < items.count(); ++i) {
    const Bytes after = Concat({BytesOf(items.item(i)), BytesOf(items.type(i)), BytesOf(items.option(i, 0))});
    EXPECT_TRUE(SameBytes(after, before[i])) << "DMPubID " << int{items.item(i).DMPubID};
  }
  EXPECT_TRUE(helper().updates().empty());
}

TEST_F(UiObjectTest, CommonUiPropLeavesItsParameterBlockAndTheLastErrorAlone) {
  host::PropertyItems items;
  items.Add(DMPUB_DEFSOURCE, 2, 0);
  items.Add(DMPUB_ICMMETHOD, 2, 0);
  OPTITEM oemItem{};
  OEMCUIPPARAM param = session.CommonUIParam(items);
  param.pOEMOptItems = &oemItem;
  param.cOEMOptItems = 1;
  const Bytes before = BytesOf(param);
  const Bytes oemBefore = BytesOf(oemItem);
  SetLastError(kUntouchedError);
  EXPECT_EQ(plugin()->CommonUIProp(OEMCUIP_DOCPROP, &param), S_OK);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  EXPECT_TRUE(SameBytes(BytesOf(param), before));
  EXPECT_TRUE(SameBytes(BytesOf(oemItem), oemBefore));
}

TEST_F(UiObjectTest, CommonUiPropWithNothingToDoSucceeds) {
  EXPECT_EQ(plugin()->CommonUIProp(OEMCUIP_DOCPROP, nullptr), S_OK);
  host::PropertyItems items;
  const size_t source = items.Add(DMPUB_DEFSOURCE, 3, 0);
  OEMCUIPPARAM param = session.CommonUIParam(items);
  param.cDrvOptItems = 0;
  EXPECT_EQ(plugin()->CommonUIProp(OEMCUIP_DOCPROP, &param), S_OK);
  EXPECT_EQ(items.item(source).Sel, 0);
  ExpectOptionFlags(items, source, {0, 0, 0});
  param.pDrvOptItems = nullptr;
  param.cDrvOptItems = 5;
  EXPECT_EQ(plugin()->CommonUIProp(OEMCUIP_DOCPROP, &param), S_OK);
  EXPECT_TRUE(helper().updates().empty());
}

TEST_F(UiFrameTest, SelectionMovesEvenWhenNoHelperWasPublished) {
  IPrintOemUI* plugin = CreatePlugin();
  ASSERT_NE(plugin, nullptr);
  host::PropertyItems items;
  const size_t source = items.Add(DMPUB_DEFSOURCE, 2, 0);
  OEMCUIPPARAM param{};
  param.cbSize = sizeof param;
  param.pDrvOptItems = items.data();
  param.cDrvOptItems = items.count();
  EXPECT_EQ(plugin->CommonUIProp(OEMCUIP_DOCPROP, &param), S_OK);
  EXPECT_EQ(items.item(source).Sel, 1);
  ExpectOptionFlags(items, source, {OPTPF_HIDE | OPTPF_DISABLED, 0});
  plugin->Release();
}

// --- QueryColorProfile ---

// "OEMPROFILE.icm" in UTF-16LE with its terminating null: 30 bytes.
const Bytes kProfileName = Hex("4F00 4500 4D00 5000 5200 4F00 4600 4900 4C00 4500 2E00 6900 6300 6D00 0000");

struct ProfileAnswer {
  HRESULT hr;
  ULONG size;
  FLONG flags;
  Bytes buffer;
};

class ColorProfileTest : public UiObjectTest {
 protected:
  // Asks with a buffer of `bufferSize` bytes filled with 0xEE.
  ProfileAnswer Ask(ULONG bufferSize, ULONG queryMode = QCP_DEVICEPROFILE, bool withBuffer = true) {
    ProfileAnswer answer{E_NOTIMPL, bufferSize, 0x77, Bytes(bufferSize, 0xEE)};
    answer.hr = plugin()->QueryColorProfile(nullptr, session.uiObject(), nullptr, nullptr, queryMode,
                                            withBuffer ? answer.buffer.data() : nullptr, &answer.size, &answer.flags);
    return answer;
  }
};

TEST_F(ColorProfileTest, ABufferOf32BytesOrMoreGetsTheProfileName) {
  for (ULONG size : {ULONG{32}, ULONG{64}}) {
    SetLastError(kUntouchedError);
    const ProfileAnswer answer = Ask(size);
    EXPECT_EQ(answer.hr, S_OK) << size;
    EXPECT_EQ(answer.size, 32u) << size;
    EXPECT_EQ(answer.flags, static_cast<FLONG>(QCP_PROFILEDISK)) << size;
    EXPECT_TRUE(SameBytes(answer.buffer, Concat({kProfileName, Bytes(size - 30, 0xEE)}))) << size;
    EXPECT_EQ(GetLastError(), kUntouchedError);
  }
}

TEST_F(ColorProfileTest, AShortOrMissingBufferIsToldTheSizeNeeded) {
  for (ULONG size : {ULONG{0}, ULONG{30}, ULONG{31}}) {
    SetLastError(0);
    const ProfileAnswer answer = Ask(size);
    EXPECT_EQ(answer.hr, E_FAIL) << size;
    EXPECT_EQ(answer.size, 32u) << size;
    EXPECT_EQ(answer.flags, 0x77u) << size;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << size;
    EXPECT_TRUE(SameBytes(answer.buffer, Bytes(size, 0xEE))) << size;
  }
  SetLastError(0);
  const ProfileAnswer answer = Ask(64, QCP_DEVICEPROFILE, false);
  EXPECT_EQ(answer.hr, E_FAIL);
  EXPECT_EQ(answer.size, 32u);
  EXPECT_EQ(answer.flags, 0x77u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(ColorProfileTest, OtherQueriesFailWithNothingWritten) {
  for (ULONG mode : {ULONG{QCP_SOURCEPROFILE}, ULONG{2}, ULONG{0xFFFFFFFF}}) {
    SetLastError(kUntouchedError);
    const ProfileAnswer answer = Ask(64, mode);
    EXPECT_EQ(answer.hr, E_FAIL) << mode;
    EXPECT_EQ(answer.size, 64u) << mode;
    EXPECT_EQ(answer.flags, 0x77u) << mode;
    EXPECT_TRUE(SameBytes(answer.buffer, Bytes(64, 0xEE))) << mode;
    EXPECT_EQ(GetLastError(), kUntouchedError) << mode;
  }
}

TEST_F(ColorProfileTest, MissingSizePointerIsRefusedBeforeAnyWrite) {
  Bytes buffer(64, 0xEE);
  FLONG flags = 0x77;
  SetLastError(0);
  EXPECT_EQ(plugin()->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, QCP_DEVICEPROFILE, buffer.data(), nullptr,
                                        &flags),
            E_FAIL);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(flags, 0x77u);
  EXPECT_TRUE(SameBytes(buffer, Bytes(64, 0xEE)));
}

// The flags matter only to a caller that takes the name: one asking for the
// size alone learns it without a flags pointer, then asks again in full.
TEST_F(ColorProfileTest, SizeOnlyCallNeedsNoFlagsPointer) {
  for (ULONG given : {ULONG{0}, ULONG{31}}) {
    ULONG size = given;
    SetLastError(0);
    EXPECT_EQ(
        plugin()->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, QCP_DEVICEPROFILE, nullptr, &size, nullptr),
        E_FAIL)
        << given;
    EXPECT_EQ(size, 32u) << given;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << given;
  }
  Bytes buffer(32, 0xEE);
  ULONG size = 32;
  FLONG flags = 0x77;
  EXPECT_EQ(
      plugin()->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, QCP_DEVICEPROFILE, buffer.data(), &size, &flags),
      S_OK);
  EXPECT_EQ(flags, static_cast<FLONG>(QCP_PROFILEDISK));
  EXPECT_TRUE(SameBytes(buffer, Concat({kProfileName, Bytes(2, 0xEE)})));
}

TEST_F(ColorProfileTest, FullCallWithoutFlagsPointerIsRefusedBeforeAnyWrite) {
  Bytes buffer(64, 0xEE);
  ULONG size = 64;
  SetLastError(0);
  EXPECT_EQ(
      plugin()->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, QCP_DEVICEPROFILE, buffer.data(), &size, nullptr),
      E_FAIL);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(size, 64u);
  EXPECT_TRUE(SameBytes(buffer, Bytes(64, 0xEE)));
}

}  // namespace
}  // namespace kav::test
