// The in-process COM server frame that both plug-in libraries share: the
// exported entry points, the class factory, the module counters, and the
// reference counting and helper keeping of a plug-in object.
#pragma once

#include "common/heap.h"
#include "platform/oem.h"

namespace kav {

// Module-wide counters of the library this frame is compiled into.
struct ModuleCounters {
  LONG volatile liveObjects;
  LONG volatile locks;
};
ModuleCounters& Counters();

// Supplied by each library: the one class it serves, and the maker of its
// plug-in object, which answers as CreateInstance does once aggregation has
// been refused.
extern const CLSID kModuleClassId;
HRESULT CreatePluginObject(REFIID riid, void** ppv);

// The AddRef of every object of the frame: interlocked increment.
inline ULONG AddRefCount(LONG volatile* count) { return static_cast<ULONG>(InterlockedIncrement(count)); }

// QueryInterface of an object that answers IUnknown, then `answered`, and
// nothing else: on a match the object is stored and AddRef'd.
template <class Interface>
HRESULT AnswerQueryInterface(Interface* object, REFIID riid, REFIID answered, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (IsEqualGUID(riid, kIidUnknown) || IsEqualGUID(riid, answered)) {
    *ppv = object;
    object->AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

// Reference counting, identity and the host helper that both plug-in
// objects keep. `Derived` names the object, `Interface` the plug-in interface
// it implements (answered after IUnknown), `Helper` the host helper interface.
template <class Derived, class Interface, class Helper>
class PluginObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return AnswerQueryInterface<Interface>(this, riid, Derived::kInterfaceId, ppv);
  }

  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(&refCount_); }

  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = InterlockedDecrement(&refCount_);
    if (count != 0) return static_cast<ULONG>(count);
    ReleaseDriverHelper();
    HeapDelete(static_cast<Derived*>(this));
    return 0;
  }

  // Takes the host's helper once; later calls keep the first one.
  HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown* pIUnknown) override {
    if (driverHelper != nullptr) return S_OK;
    if (pIUnknown == nullptr) return E_FAIL;
    const HRESULT hr = pIUnknown->QueryInterface(Derived::kHelperId, reinterpret_cast<void**>(&driverHelper));
    if (FAILED(hr)) {
      driverHelper = nullptr;
      return E_FAIL;
    }
    return S_OK;
  }

 protected:
  PluginObject() = default;
  ~PluginObject() = default;

  void ReleaseDriverHelper() {
    if (driverHelper == nullptr) return;
    driverHelper->Release();
    driverHelper = nullptr;
  }

  LONG volatile refCount_ = 1;  // the creation reference

 public:
  Helper* driverHelper = nullptr;
};

}  // namespace kav
