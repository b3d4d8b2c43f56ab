// The host's helper object on the user-interface side: it records every
// DrvUpdateUISetting call the plug-in makes.
#pragma once

#include <vector>

#include "host/helper_object.h"
#include "platform/oem.h"

namespace kav::host {

struct UiSettingUpdate {
  PVOID pci;
  PVOID item;
  DWORD previousSelection;
  DWORD mode;
};

class UiDriverHelper final : public HelperObject<UiDriverHelper, IPrintOemDriverUI, kIidPrintOemDriverUI> {
 public:
  UiDriverHelper() = default;

  HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DrvUpgradeRegistrySetting(HANDLE, PCSTR, PCSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvUpdateUISetting(PVOID pci, PVOID pOptItem, DWORD dwPreviousSelection,
                                               DWORD dwMode) override;

  const std::vector<UiSettingUpdate>& updates() const { return updates_; }
  void ClearUpdates() { updates_.clear(); }

 private:
  std::vector<UiSettingUpdate> updates_;
};

}  // namespace kav::host
