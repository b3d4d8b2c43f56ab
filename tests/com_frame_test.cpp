// What both plug-in libraries answer alike: the COM frame they share
// (DllGetClassObject, the class factory, QueryInterface and reference
// counting) and GetInfo, held to the same contract in each loaded library.
#include <gtest/gtest.h>

#include <ostream>
#include <span>
#include <string>

#include "library_fixture.h"

namespace kav::test {
namespace {

constexpr GUID kUnknownGuid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

constexpr DWORD kUntouched = 0xCCCCCCCC;
constexpr DWORD kUntouchedError = 1234;
constexpr DWORD kUntouchedNeeded = 77;

// One GetInfo call and what it must leave behind.
struct GetInfoCase {
  DWORD mode;
  DWORD size;   // bytes offered of a buffer of two DWORDs
  bool buffer;  // false: a null buffer
  bool needed;  // false: a null size pointer
  HRESULT hr;
  DWORD error;  // the last error after the call
  DWORD neededAfter;
  DWORD value;  // the buffer's first DWORD after the call; the second is never written
};

// Publisher information is the UI plug-in's to know, though it serves none;
// to the render plug-in it is a mode like any unknown one.
const GetInfoCase kPublisherInfoKnown[] = {
    {OEMGI_GETPUBLISHERINFO, 4, true, true, E_FAIL, ERROR_NOT_SUPPORTED, 0, kUntouched},
    // A short or missing buffer answers first, with the size.
    {OEMGI_GETPUBLISHERINFO, 0, true, true, E_FAIL, ERROR_INSUFFICIENT_BUFFER, 4, kUntouched},
    {OEMGI_GETPUBLISHERINFO, 3, true, true, E_FAIL, ERROR_INSUFFICIENT_BUFFER, 4, kUntouched},
    {OEMGI_GETPUBLISHERINFO, 4, false, true, E_FAIL, ERROR_INSUFFICIENT_BUFFER, 4, kUntouched},
};
const GetInfoCase kPublisherInfoUnknown[] = {
    {OEMGI_GETPUBLISHERINFO, 4, true, true, E_FAIL, ERROR_INVALID_PARAMETER, kUntouchedNeeded, kUntouched},
    {OEMGI_GETPUBLISHERINFO, 0, true, true, E_FAIL, ERROR_INVALID_PARAMETER, kUntouchedNeeded, kUntouched},
};

template <class Interface>
HRESULT GetInfoOf(IUnknown* object, DWORD mode, PVOID buffer, DWORD size, PDWORD needed) {
  return static_cast<Interface*>(object)->GetInfo(mode, buffer, size, needed);
}

struct FrameCase {
  const char* library;
  CLSID served;
  CLSID otherClass;  // the other library's class
  IID plugin;        // the interface its objects answer besides IUnknown
  IID otherPlugin;   // the other library's plug-in interface
  // Heap blocks an object made by the factory keeps after the caller's last
  // Release: the render library keeps every object for the rest of the process.
  long blocksKept;
  HRESULT (*getInfo)(IUnknown* object, DWORD mode, PVOID buffer, DWORD size, PDWORD needed);
  std::span<const GetInfoCase> publisherInfo;
};

// Test names and failure messages show the library, not the case's bytes.
void PrintTo(const FrameCase& c, std::ostream* out) { *out << c.library; }

const FrameCase kLibraries[] = {
    {"kavrender", kClsidRenderPlugin, kClsidUiPlugin, kIidPrintOemUni2, kIidPrintOemUI, 1, GetInfoOf<IPrintOemUni2>,
     kPublisherInfoUnknown},
    {"kavui", kClsidUiPlugin, kClsidRenderPlugin, kIidPrintOemUI, kIidPrintOemUni2, 0, GetInfoOf<IPrintOemUI>,
     kPublisherInfoKnown},
};

class ComFrameTest : public LibraryTest, public ::testing::WithParamInterface<FrameCase> {
 protected:
  ComFrameTest() : LibraryTest(GetParam().library) {}

  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(library.GetClassObject(GetParam().served, kIidClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    return factory;
  }

  long HeapBlocks() const { return standins != nullptr ? standins->LiveHeapBlocks() : 0; }
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

TEST_P(ComFrameTest, GetInfoAnswersSignatureAndVersionAndSetsTheLastErrorOtherwise) {
  const GetInfoCase shared[] = {
      {OEMGI_GETSIGNATURE, 8, true, true, S_OK, kUntouchedError, 4, 0x4D534654},  // four bytes, whatever the buffer
      {OEMGI_GETVERSION, 4, true, true, S_OK, kUntouchedError, 4, 1},
      {OEMGI_GETSIGNATURE, 3, true, true, E_FAIL, ERROR_INSUFFICIENT_BUFFER, 4, kUntouched},
      {OEMGI_GETSIGNATURE, 0, true, true, E_FAIL, ERROR_INSUFFICIENT_BUFFER, 4, kUntouched},
      {OEMGI_GETVERSION, 4, false, true, E_FAIL, ERROR_INSUFFICIENT_BUFFER, 4, kUntouched},
      {OEMGI_GETSIGNATURE, 4, true, false, E_FAIL, ERROR_INVALID_PARAMETER, kUntouchedNeeded, kUntouched},
      {0, 4, true, true, E_FAIL, ERROR_INVALID_PARAMETER, kUntouchedNeeded, kUntouched},
      {OEMGI_GETINTERFACEVERSION, 4, true, true, E_FAIL, ERROR_INVALID_PARAMETER, kUntouchedNeeded, kUntouched},
      {OEMGI_GETREQUESTEDHELPERINTERFACES, 4, true, true, E_FAIL, ERROR_INVALID_PARAMETER, kUntouchedNeeded,
       kUntouched},
      {6, 4, true, true, E_FAIL, ERROR_INVALID_PARAMETER, kUntouchedNeeded, kUntouched},
      {0xFFFFFFFF, 4, true, true, E_FAIL, ERROR_INVALID_PARAMETER, kUntouchedNeeded, kUntouched},
  };
  IUnknown* object = Create<IUnknown>(GetParam().served, GetParam().plugin);
  ASSERT_NE(object, nullptr);
  for (std::span<const GetInfoCase> cases : {std::span<const GetInfoCase>(shared), GetParam().publisherInfo}) {
    for (const GetInfoCase& c : cases) {
      DWORD value[2] = {kUntouched, kUntouched};
      DWORD needed = kUntouchedNeeded;
      SetLastError(kUntouchedError);
      const HRESULT hr =
          GetParam().getInfo(object, c.mode, c.buffer ? value : nullptr, c.size, c.needed ? &needed : nullptr);
      SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", size " << c.size << (c.buffer ? "" : ", no buffer")
                                      << (c.needed ? "" : ", no size pointer"));
      EXPECT_EQ(hr, c.hr);
      EXPECT_EQ(GetLastError(), c.error);
      EXPECT_EQ(needed, c.neededAfter);
      EXPECT_EQ(value[0], c.value);
      EXPECT_EQ(value[1], kUntouched);
    }
  }
  object->Release();
}

std::string LibraryName(const ::testing::TestParamInfo<FrameCase>& param) { return param.param.library; }

INSTANTIATE_TEST_SUITE_P(BothLibraries, ComFrameTest, ::testing::ValuesIn(kLibraries), LibraryName);

}  // namespace
}  // namespace kav::test
