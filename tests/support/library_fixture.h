// A plug-in library loaded from beside the test program, as the host loads
// it, with the platform stand-ins (where the build has them) put back to
// their start before each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "host/plugin_library.h"
#include "standin_fixture.h"

namespace kav::test {

class LibraryTest : public StandinTest {
 protected:
  explicit LibraryTest(std::string name) : name_(std::move(name)) {}

  void SetUp() override {
    StandinTest::SetUp();
    std::string error;
    ASSERT_TRUE(library.Load(host::PluginBesideProgram(name_), error)) << error;
  }

  // An object of class `clsid` made through the library's factory, answering
  // `riid`; null (and a failed expectation) when the library refuses.
  template <class Interface>
  Interface* Create(REFCLSID clsid, REFIID riid) {
    std::string error;
    auto* object = static_cast<Interface*>(library.CreateObject(clsid, riid, error));
    EXPECT_NE(object, nullptr) << error;
    return object;
  }

  host::PluginLibrary library;

 private:
  std::string name_;
};

// A host object that answers no interface: what a host without a driver
// helper hands to PublishDriverInterface.
struct NoHelper : IUnknown {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

}  // namespace kav::test
