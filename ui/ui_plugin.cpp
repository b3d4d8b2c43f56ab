#include "ui/ui_plugin.h"

#include <cstring>

#include "common/private_devmode.h"

namespace kav {

const CLSID kModuleClassId = kClsidUiPlugin;

// A UI object counts for nothing in DllCanUnloadNow and is freed at its last
// Release: QueryInterface adds the caller's reference, Release drops the
// creation reference, and the caller's is the only one left.
HRESULT CreatePluginObject(REFIID riid, void** ppv) {
  auto* object = HeapNew<UiPlugin>();
  if (object == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

namespace {

// The device colour profile file, and the size reported for it (the name with
// its null takes 30 bytes).
constexpr WCHAR kColorProfileName[] = KAV_WIDE("OEMPROFILE.icm");
constexpr ULONG kColorProfileReportedSize = 32;

// The answer of every slot this plug-in does not serve; it touches nothing.
constexpr HRESULT Unserved() { return E_NOTIMPL; }

}  // namespace

HRESULT UiPlugin::GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) {
  return AnswerGetInfo(dwMode, pBuffer, cbSize, pcbNeeded, true);
}

HRESULT UiPlugin::DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) { return HandlePrivateDevMode(dwMode, pOemDMParam); }

// The first paper source is never offered: it is hidden and disabled, and a
// selection resting on it moves to the next source, which the host is told of. A list of one option or none has nowhere
// to move to, so its selection stays.
void UiPlugin::AdjustPaperSource(OPTITEM& item, POEMUIOBJ poemuiobj) {
  OPTTYPE* type = item.pOptType;
  if (type == nullptr) return;
  if (type->Count >= 1 && type->pOptParam != nullptr) type->pOptParam[0].Flags |= OPTPF_HIDE | OPTPF_DISABLED;
  if (type->Count <= 1 || item.Sel != 0) return;
  item.Sel = 1;
  if (driverHelper != nullptr) driverHelper->DrvUpdateUISetting(poemuiobj, &item, 0, OEMCUIP_DOCPROP);
}

// The same for document and printer property sheets, on every call.
HRESULT UiPlugin::CommonUIProp(DWORD, POEMCUIPPARAM pOemCUIPParam) {
  if (pOemCUIPParam == nullptr || pOemCUIPParam->pDrvOptItems == nullptr) return S_OK;
  for (DWORD i = 0; i < pOemCUIPParam->cDrvOptItems; ++i) {
    OPTITEM& item = pOemCUIPParam->pDrvOptItems[i];
    switch (item.DMPubID) {
      case DMPUB_DEFSOURCE:
        AdjustPaperSource(item, pOemCUIPParam->poemuiobj);
        break;
      case DMPUB_ICMMETHOD:  // the plug-in names the device profile itself
      case DMPUB_ICMINTENT:
        item.Flags |= OPTIF_HIDE;
        break;
      default:
        break;
    }
  }
  return S_OK;
}

// Names the device profile file. The reported size is 32 bytes whatever the
// caller's buffer was, which hosts have always been given.
HRESULT UiPlugin::QueryColorProfile(HANDLE, POEMUIOBJ, PDEVMODEW, PVOID, ULONG ulQueryMode, VOID* pvProfileData,
                                    ULONG* pcbProfileData, FLONG* pflProfileData) {
  if (ulQueryMode != QCP_DEVICEPROFILE) return E_FAIL;
  if (pcbProfileData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return E_FAIL;
  }
  if (pvProfileData == nullptr || *pcbProfileData < kColorProfileReportedSize) {
    *pcbProfileData = kColorProfileReportedSize;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return E_FAIL;
  }
  // A caller asking only for the size needs no flags; one taking the name
  // does, and is refused before anything of the answer is written.
  if (pflProfileData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return E_FAIL;
  }
  std::memcpy(pvProfileData, kColorProfileName, sizeof kColorProfileName);
  *pcbProfileData = kColorProfileReportedSize;
  *pflProfileData = QCP_PROFILEDISK;
  return S_OK;
}

HRESULT UiPlugin::DocumentPropertySheets(PVOID, LPARAM) { return Unserved(); }
HRESULT UiPlugin::DevicePropertySheets(PVOID, LPARAM) { return Unserved(); }
HRESULT UiPlugin::DevQueryPrintEx(POEMUIOBJ, PVOID, PDEVMODEW, PVOID) { return Unserved(); }
HRESULT UiPlugin::DeviceCapabilities(POEMUIOBJ, HANDLE, PWSTR, WORD, PVOID, PDEVMODEW, PVOID, DWORD, DWORD*) {
  return Unserved();
}
HRESULT UiPlugin::UpgradePrinter(DWORD, PBYTE) { return Unserved(); }
HRESULT UiPlugin::PrinterEvent(PWSTR, INT, DWORD, LPARAM) { return Unserved(); }
HRESULT UiPlugin::DriverEvent(DWORD, DWORD, LPBYTE, LPARAM) { return Unserved(); }
HRESULT UiPlugin::FontInstallerDlgProc(HWND, UINT, ULONG_PTR, LPARAM) { return Unserved(); }
HRESULT UiPlugin::UpdateExternalFonts(HANDLE, HANDLE, PWSTR) { return Unserved(); }

}  // namespace kav
