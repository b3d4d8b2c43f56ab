// The IUnknown part of the helper objects the host hands to a plug-in: each
// answers for IUnknown and its one interface, counts the QueryInterface calls
// for the tests, and frees itself when its last reference is released.
#pragma once

#include "platform/oem.h"

namespace kav::host {

template <class Derived, class Interface, const GUID& kIid>
class HelperObject : public Interface {
 public:
  HelperObject(const HelperObject&) = delete;
  HelperObject& operator=(const HelperObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    ++queryInterfaceCalls_;
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualGUID(riid, kIidUnknown) || IsEqualGUID(riid, kIid)) {
      *ppv = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }

  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }

  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(count);
  }

  LONG references() const { return refCount_; }
  unsigned queryInterfaceCalls() const { return queryInterfaceCalls_; }

 protected:
  HelperObject() = default;
  ~HelperObject() = default;

 private:
  LONG volatile refCount_ = 1;
  unsigned queryInterfaceCalls_ = 0;
};

}  // namespace kav::host
