#include "common/module_frame.h"

namespace kav {

ModuleCounters& Counters() {
  static ModuleCounters counters{};
  return counters;
}

namespace {

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return AnswerQueryInterface<IClassFactory>(this, riid, kIidClassFactory, ppv);
  }

  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(&refCount_); }

  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0) HeapDelete(this);
    return static_cast<ULONG>(count);
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override {
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    if (ppv == nullptr) return E_POINTER;
    return CreatePluginObject(riid, ppv);
  }

  // No floor at zero: the host is trusted to balance its calls.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override {
    if (fLock) {
      InterlockedIncrement(&Counters().locks);
    } else {
      InterlockedDecrement(&Counters().locks);
    }
    return S_OK;
  }

 private:
  LONG volatile refCount_ = 1;
};

}  // namespace
}  // namespace kav

extern "C" KAV_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!IsEqualGUID(rclsid, kav::kModuleClassId)) return CLASS_E_CLASSNOTAVAILABLE;
  if (ppv == nullptr) return E_POINTER;
  auto* factory = kav::HeapNew<kav::ClassFactory>();
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

// The system's unused-library sweep may ask from any thread while others
// change the counters with interlocked operations: read with atomic loads.
extern "C" KAV_EXPORT HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
  const kav::ModuleCounters& counters = kav::Counters();
  const LONG liveObjects = __atomic_load_n(&counters.liveObjects, __ATOMIC_SEQ_CST);
  const LONG locks = __atomic_load_n(&counters.locks, __ATOMIC_SEQ_CST);
  return liveObjects == 0 && locks == 0 ? S_OK : S_FALSE;
}
