// The host's helper object on the user-interface side: it records every
// DrvUpdateUISetting call the plug-in makes.
#pragma once

#include <vector>

#include "platform/oem.h"

namespace kav::host {

struct UiSettingUpdate {
  PVOID pci;
  PVOID item;
  DWORD previousSelection;
  DWORD mode;
};

class UiDriverHelper final : public IPrintOemDriverUI {
 public:
  UiDriverHelper() = default;
  UiDriverHelper(const UiDriverHelper&) = delete;
  UiDriverHelper& operator=(const UiDriverHelper&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DrvUpgradeRegistrySetting(HANDLE, PCSTR, PCSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvUpdateUISetting(PVOID pci, PVOID pOptItem, DWORD dwPreviousSelection,
                                               DWORD dwMode) override;

  const std::vector<UiSettingUpdate>& updates() const { return updates_; }
  void ClearUpdates() { updates_.clear(); }

  LONG references() const { return refCount_; }
  unsigned queryInterfaceCalls() const { return queryInterfaceCalls_; }

 private:
  LONG volatile refCount_ = 1;
  unsigned queryInterfaceCalls_ = 0;
  std::vector<UiSettingUpdate> updates_;
};

}  // namespace kav::host
