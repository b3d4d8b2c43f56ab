// The COM frame both plug-in libraries share (DllGetClassObject, the class
// factory, QueryInterface and reference counting), held to the same contract
// in each loaded library.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "host/plugin_library.h"
#include "standin_fixture.h"

namespace kav::test {
namespace {

constexpr GUID kUnknownGuid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

struct FrameCase {
  const char* library;
  CLSID served;
  CLSID otherClass;  // the other library's class
  IID plugin;        // the interface its objects answer besides IUnknown
  IID otherPlugin;   // the other library's plug-in interface
  // Heap blocks an object made by the factory keeps after the caller's last
  // Release: the render library keeps every object for the rest of the process.
  long blocksKept;
};

// Test names and failure messages show the library, not the case's bytes.
void PrintTo(const FrameCase& c, std::ostream* out) { *out << c.library; }

const FrameCase kLibraries[] = {
    {"kavrender", kClsidRenderPlugin, kClsidUiPlugin, kIidPrintOemUni2, kIidPrintOemUI, 1},
    {"kavui", kClsidUiPlugin, kClsidRenderPlugin, kIidPrintOemUI, kIidPrintOemUni2, 0},
};

class ComFrameTest : public StandinTest, public ::testing::WithParamInterface<FrameCase> {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    std::string error;
    ASSERT_TRUE(library.Load(host::PluginBesideProgram(GetParam().library), error)) << error;
  }

  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(library.GetClassObject(GetParam().served, kIidClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    return factory;
  }

  long HeapBlocks() const { return standins != nullptr ? standins->LiveHeapBlocks() : 0; }

  host::PluginLibrary library;
};

TEST_P(ComFrameTest, OnlyItsOwnClassIsServedAndTheOutPointerIsLeftOtherwise) {
  for (const CLSID& clsid : {GetParam().otherClass, kUnknownGuid}) {
    void* out = &out;
    EXPECT_EQ(library.GetClassObject(clsid, kIidClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, &out);
  }
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->Release(), 0u);
}

TEST_P(ComFrameTest, FactoryAnswersUnknownAndClassFactoryOnly) {
  for (const GUID& iid : {kIidUnknown, kIidClassFactory}) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(library.GetClassObject(GetParam().served, iid, reinterpret_cast<void**>(&factory)), S_OK);
    ASSERT_NE(factory, nullptr);
    // The caller holds the only reference: one AddRef makes 2, two Releases free it.
    EXPECT_EQ(factory->AddRef(), 2u);
    EXPECT_EQ(factory->Release(), 1u);
    IUnknown* again = nullptr;
    for (const GUID& same : {kIidUnknown, kIidClassFactory}) {
      ASSERT_EQ(factory->QueryInterface(same, reinterpret_cast<void**>(&again)), S_OK);
      EXPECT_EQ(again, factory);
      EXPECT_EQ(again->Release(), 1u);
    }
    again = reinterpret_cast<IUnknown*>(&again);
    EXPECT_EQ(factory->QueryInterface(GetParam().plugin, reinterpret_cast<void**>(&again)), E_NOINTERFACE);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(factory->Release(), 0u);
  }
  for (const GUID& iid : {GetParam().plugin, kUnknownGuid}) {
    void* out = &out;
    EXPECT_EQ(library.GetClassObject(GetParam().served, iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
}

TEST_P(ComFrameTest, NullOutPointersAnswerPointerErrors) {
  EXPECT_EQ(library.GetClassObject(GetParam().served, kIidClassFactory, nullptr), E_POINTER);
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->QueryInterface(kIidClassFactory, nullptr), E_POINTER);
  const long heapBefore = HeapBlocks();
  EXPECT_EQ(factory->CreateInstance(nullptr, GetParam().plugin, nullptr), E_POINTER);
  EXPECT_EQ(HeapBlocks(), heapBefore);  // refused before allocating

  IUnknown* object = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, GetParam().plugin, reinterpret_cast<void**>(&object)), S_OK);
  EXPECT_EQ(object->QueryInterface(kIidUnknown, nullptr), E_POINTER);
  object->Release();
  factory->Release();
}

TEST_P(ComFrameTest, CreateInstanceRefusesAggregationAndForeignInterfaces) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  long heapBefore = HeapBlocks();
  void* out = &out;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), GetParam().plugin, &out),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, &out);
  EXPECT_EQ(HeapBlocks(), heapBefore);  // refused before allocating

  for (const GUID& iid : {kIidClassFactory, GetParam().otherPlugin, kUnknownGuid}) {
    heapBefore = HeapBlocks();
    out = &out;
    EXPECT_EQ(factory->CreateInstance(nullptr, iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    if (standins != nullptr) {
      EXPECT_EQ(HeapBlocks(), heapBefore + GetParam().blocksKept);
    }
  }
  factory->Release();
}

TEST_P(ComFrameTest, ObjectAnswersUnknownAndItsPluginInterfaceOnly) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  for (const GUID& iid : {GetParam().plugin, kIidUnknown}) {
    const long heapBefore = HeapBlocks();
    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object)), S_OK);
    for (const GUID& same : {kIidUnknown, GetParam().plugin}) {
      IUnknown* again = nullptr;
      ASSERT_EQ(object->QueryInterface(same, reinterpret_cast<void**>(&again)), S_OK);
      EXPECT_EQ(again, object);
      again->Release();
    }
    for (const GUID& foreign : {kIidClassFactory, GetParam().otherPlugin, kUnknownGuid}) {
      IUnknown* again = nullptr;
      again = reinterpret_cast<IUnknown*>(&again);
      EXPECT_EQ(object->QueryInterface(foreign, reinterpret_cast<void**>(&again)), E_NOINTERFACE);
      EXPECT_EQ(again, nullptr);
    }
    object->Release();
    if (standins != nullptr) {
      EXPECT_EQ(HeapBlocks(), heapBefore + GetParam().blocksKept);
    }
  }
  factory->Release();
}

TEST_P(ComFrameTest, FailedAllocationsAnswerOutOfMemoryAndLeaveTheOutPointer) {
  if (standins == nullptr) GTEST_SKIP() << "allocation failures are injected by the platform stand-ins";
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  standins->FailHeapAlloc({1, false});
  void* out = &out;
  EXPECT_EQ(factory->CreateInstance(nullptr, GetParam().plugin, &out), E_OUTOFMEMORY);
  EXPECT_EQ(out, &out);
  factory->Release();

  standins->FailHeapAlloc({1, false});
  out = &out;
  EXPECT_EQ(library.GetClassObject(GetParam().served, kIidClassFactory, &out), E_OUTOFMEMORY);
  EXPECT_EQ(out, &out);
}

std::string LibraryName(const ::testing::TestParamInfo<FrameCase>& param) { return param.param.library; }

INSTANTIATE_TEST_SUITE_P(BothLibraries, ComFrameTest, ::testing::ValuesIn(kLibraries), LibraryName);

}  // namespace
}  // namespace kav::test
