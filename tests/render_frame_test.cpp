// The render library's plug-in object through the loaded library, and the
// object lifetime that sets its frame apart (the shared contract: com_frame_test).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "library_fixture.h"
#include "render_fixture.h"

namespace kav::test {
namespace {

class RenderFrameTest : public LibraryTest {
 protected:
  RenderFrameTest() : LibraryTest("kavrender") {}
  IPrintOemUni2* CreatePlugin() { return Create<IPrintOemUni2>(kClsidRenderPlugin, kIidPrintOemUni2); }
};

TEST_F(RenderFrameTest, CreatedObjectKeepsTheLibraryLoadedForGood) {
  IPrintOemUni2* plugin = CreatePlugin();
  ASSERT_NE(plugin, nullptr);
  // The host's reference plus the one the library keeps for itself.
  EXPECT_EQ(plugin->AddRef(), 3u);
  EXPECT_EQ(plugin->Release(), 2u);
  EXPECT_EQ(plugin->Release(), 1u);
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
}

class RenderObjectTest : public RenderTest {};

TEST_F(RenderObjectTest, ImplementedMethodsAreExactlyTheNine) {
  for (const char* name : {"CommandCallback", "DisableDriver", "DisablePDEV", "DevMode", "EnableDriver", "EnablePDEV",
                           "GetInfo", "ImageProcessing", "ResetPDEV"}) {
    std::string copy = name;
    EXPECT_EQ(session.plugin()->GetImplementedMethod(copy.data()), S_OK) << name;
  }
  for (const char* name : {"Compression",
                           "DriverDMS",
                           "DownloadFontHeader",
                           "DownloadCharGlyph",
                           "FilterGraphics",
                           "HalftonePattern",
                           "MemoryUsage",
                           "OutputCharStr",
                           "SendFontCmd",
                           "TextOutAsBitmap",
                           "TTDownloadMethod",
                           "TTYGetInfo",
                           "WritePrinter",
                           "PublishDriverInterface",
                           "GetImplementedMethod",
                           "QueryInterface",
                           "",
                           "commandcallback",
                           "COMMANDCALLBACK",
                           "CommandCallbackEx",
                           "CommandCallbac"}) {
    std::string copy = name;
    EXPECT_EQ(session.plugin()->GetImplementedMethod(copy.data()), S_FALSE) << name;
  }
}

TEST_F(RenderObjectTest, UnservedSlotsAnswerNotImplemented) {
  IPrintOemUni2* plugin = session.plugin();
  EXPECT_EQ(plugin->DriverDMS(nullptr, nullptr, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(plugin->Compression(nullptr, nullptr, nullptr, 0, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(plugin->HalftonePattern(nullptr, nullptr, 0, 0, 0, 0, nullptr, 0), E_NOTIMPL);
  EXPECT_EQ(plugin->MemoryUsage(nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(plugin->TTYGetInfo(nullptr, 0, nullptr, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(plugin->DownloadFontHeader(nullptr, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(plugin->DownloadCharGlyph(nullptr, nullptr, 0, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(plugin->TTDownloadMethod(nullptr, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(plugin->OutputCharStr(nullptr, nullptr, 0, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(plugin->SendFontCmd(nullptr, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(plugin->TextOutAsBitmap(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0),
            E_NOTIMPL);
  EXPECT_EQ(plugin->WritePrinter(nullptr, nullptr, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(plugin->EnableDriver(0, 0, nullptr), S_OK);
  EXPECT_EQ(plugin->ResetPDEV(nullptr, nullptr), S_OK);
  EXPECT_EQ(plugin->FilterGraphics(nullptr, nullptr, 0), S_OK);
}

TEST_F(RenderObjectTest, SecondPublishKeepsTheFirstHelper) {
  auto* other = new host::DriverHelper;
  EXPECT_EQ(session.plugin()->PublishDriverInterface(other), S_OK);
  EXPECT_EQ(other->queryInterfaceCalls(), 0u);
  EXPECT_EQ(other->references(), 1);
  other->Release();
  EXPECT_EQ(helper().references(), 2);  // ours and the plug-in's
}

TEST_F(RenderObjectTest, DisableDriverReleasesTheHelperOnceAndAllowsANewOne) {
  EXPECT_EQ(helper().references(), 2);
  EXPECT_EQ(session.plugin()->DisableDriver(), S_OK);
  EXPECT_EQ(helper().references(), 1);
  EXPECT_EQ(session.plugin()->DisableDriver(), S_OK);
  EXPECT_EQ(helper().references(), 1);
  EXPECT_EQ(session.plugin()->PublishDriverInterface(&helper()), S_OK);
  EXPECT_EQ(helper().references(), 2);
}

TEST_F(RenderFrameTest, ObjectDeathReleasesAHelperStillHeld) {
  // An object made through the factory outlives its host; drive one straight
  // through its interface table: with the library's own reference dropped
  // too, the last Release frees it and lets go of the helper.
  IPrintOemUni2* plugin = CreatePlugin();
  ASSERT_NE(plugin, nullptr);
  auto* helper = new host::DriverHelper;
  ASSERT_EQ(plugin->PublishDriverInterface(helper), S_OK);
  EXPECT_EQ(helper->references(), 2);
  plugin->Release();
  EXPECT_EQ(helper->references(), 2);  // the library's own reference keeps the object
  plugin->Release();
  EXPECT_EQ(helper->references(), 1);
  helper->Release();
}

TEST_F(RenderObjectTest, PublishFailsWhenTheHostGivesNoHelper) {
  ASSERT_EQ(session.plugin()->DisableDriver(), S_OK);
  NoHelper noHelper;
  EXPECT_EQ(session.plugin()->PublishDriverInterface(&noHelper), E_FAIL);
  EXPECT_EQ(session.plugin()->PublishDriverInterface(&helper()), S_OK);
}

TEST_F(RenderObjectTest, EnablePdevKeepsThePrintableOffset) {
  session.gdiInfo().ptlPhysOffset = {99, 118};
  const GDIINFO before = session.gdiInfo();
  ASSERT_EQ(session.EnableDevice(), S_OK);
  EXPECT_EQ(pdev().physOffsetX, 99u);
  EXPECT_EQ(pdev().physOffsetY, 118u);
  EXPECT_EQ(std::memcmp(&before, &session.gdiInfo(), sizeof(GDIINFO)), 0);
}

TEST_F(RenderObjectTest, TryJpegFollowsTheSystemVersion) {
  if (standins == nullptr) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    const DWORD expected = info.dwMajorVersion > 5 || (info.dwMajorVersion == 5 && info.dwMinorVersion >= 1);
    EXPECT_EQ(pdev().tryJpeg, expected);
    return;
  }
  const struct {
    DWORD major, minor, tryJpeg;
  } cases[] = {{5, 0, 0}, {5, 1, 1}, {5, 2, 1}, {6, 0, 1}, {4, 9, 0}, {10, 0, 1}};
  for (const auto& c : cases) {
    standins->SetOsVersion(c.major, c.minor);
    ASSERT_EQ(session.EnableDevice(), S_OK);
    EXPECT_EQ(pdev().tryJpeg, c.tryJpeg) << c.major << "." << c.minor;
  }
  standins->FailVersionQuery(true);
  ASSERT_EQ(session.EnableDevice(), S_OK);
  EXPECT_EQ(pdev().tryJpeg, 0u);
}

TEST_F(RenderObjectTest, EnablePdevWithoutMemoryAnswersFailAndNull) {
  if (standins == nullptr) GTEST_SKIP() << "allocation failures are injected by the platform stand-ins";
  session.DisableDevice();
  standins->FailHeapAlloc({1, false});
  PVOID pdev = &pdev;
  DEVINFO devInfo{};
  EXPECT_EQ(session.plugin()->EnablePDEV(&session.devobj(), nullptr, 0, nullptr, sizeof(GDIINFO), &session.gdiInfo(),
                                         sizeof(DEVINFO), &devInfo, nullptr, &pdev),
            E_FAIL);
  EXPECT_EQ(pdev, nullptr);
}

TEST_F(RenderObjectTest, DisablePdevFreesTheRecordAndLeavesPdevOem) {
  if (standins == nullptr) GTEST_SKIP() << "heap blocks are counted by the platform stand-ins";
  const long before = standins->LiveHeapBlocks();
  PVOID record = session.devobj().pdevOEM;
  EXPECT_EQ(session.plugin()->DisablePDEV(&session.devobj()), S_OK);
  EXPECT_EQ(standins->LiveHeapBlocks(), before - 1);
  EXPECT_EQ(session.devobj().pdevOEM, record);
  session.devobj().pdevOEM = nullptr;
  EXPECT_EQ(session.plugin()->DisablePDEV(&session.devobj()), S_OK);
}

}  // namespace
}  // namespace kav::test
