#include "host/ui_driver_helper.h"

namespace kav::host {

HRESULT UiDriverHelper::QueryInterface(REFIID riid, void** ppv) {
  ++queryInterfaceCalls_;
  if (ppv == nullptr) return E_POINTER;
  if (IsEqualGUID(riid, kIidUnknown) || IsEqualGUID(riid, kIidPrintOemDriverUI)) {
    *ppv = static_cast<IPrintOemDriverUI*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG UiDriverHelper::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }

ULONG UiDriverHelper::Release() {
  const LONG count = InterlockedDecrement(&refCount_);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT UiDriverHelper::DrvUpdateUISetting(PVOID pci, PVOID pOptItem, DWORD dwPreviousSelection, DWORD dwMode) {
  updates_.push_back({pci, pOptItem, dwPreviousSelection, dwMode});
  return S_OK;
}

}  // namespace kav::host
