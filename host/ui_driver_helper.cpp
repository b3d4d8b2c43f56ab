#include "host/ui_driver_helper.h"

namespace kav::host {

HRESULT UiDriverHelper::DrvUpdateUISetting(PVOID pci, PVOID pOptItem, DWORD dwPreviousSelection, DWORD dwMode) {
  updates_.push_back({pci, pOptItem, dwPreviousSelection, dwMode});
  return S_OK;
}

}  // namespace kav::host
