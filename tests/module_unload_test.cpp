// DllCanUnloadNow of both libraries. A program of its own, because the render
// library answers S_FALSE for good once any test has made a plug-in object.
#include <gtest/gtest.h>

#include <string>

#include "host/plugin_library.h"

namespace kav::test {
namespace {

void LockServerHoldsTheLibrary(const host::PluginLibrary& library, REFCLSID clsid) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(library.GetClassObject(clsid, kIidClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(library.CanUnloadNow(), S_OK);  // a factory moves no counter
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
  factory->Release();
}

TEST(ModuleUnloadTest, LockServerThenObjectsDecideWhetherTheLibraryMayGo) {
  host::PluginLibrary render;
  host::PluginLibrary ui;
  std::string error;
  ASSERT_TRUE(render.Load(host::PluginBesideProgram("kavrender"), error)) << error;
  LockServerHoldsTheLibrary(render, kClsidRenderPlugin);

  // A render object keeps its library for the rest of the process.
  IUnknown* object = render.CreateObject(kClsidRenderPlugin, kIidUnknown, error);
  ASSERT_NE(object, nullptr) << error;
  object->Release();
  EXPECT_EQ(render.CanUnloadNow(), S_FALSE);

  if (!ui.Load(host::PluginBesideProgram("kavui"), error)) GTEST_SKIP() << error;
  LockServerHoldsTheLibrary(ui, kClsidUiPlugin);
  // The UI library counts no live objects: its objects die at their last Release.
  object = ui.CreateObject(kClsidUiPlugin, kIidUnknown, error);
  ASSERT_NE(object, nullptr) << error;
  EXPECT_EQ(ui.CanUnloadNow(), S_OK);
  object->Release();
  EXPECT_EQ(ui.CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace kav::test
