// The user-interface plug-in object that the host drives through IPrintOemUI.
#pragma once

#include "common/module_frame.h"

namespace kav {

class UiPlugin final : public PluginObject<UiPlugin, IPrintOemUI, IPrintOemDriverUI> {
 public:
  static constexpr const GUID& kInterfaceId = kIidPrintOemUI;
  static constexpr const GUID& kHelperId = kIidPrintOemDriverUI;

  HRESULT STDMETHODCALLTYPE GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) override;
  HRESULT STDMETHODCALLTYPE DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) override;
  HRESULT STDMETHODCALLTYPE CommonUIProp(DWORD dwMode, POEMCUIPPARAM pOemCUIPParam) override;
  HRESULT STDMETHODCALLTYPE DocumentPropertySheets(PVOID, LPARAM) override;
  HRESULT STDMETHODCALLTYPE DevicePropertySheets(PVOID, LPARAM) override;
  HRESULT STDMETHODCALLTYPE DevQueryPrintEx(POEMUIOBJ, PVOID, PDEVMODEW, PVOID) override;
  HRESULT STDMETHODCALLTYPE DeviceCapabilities(POEMUIOBJ, HANDLE, PWSTR, WORD, PVOID, PDEVMODEW, PVOID, DWORD,
                                               DWORD*) override;
  HRESULT STDMETHODCALLTYPE UpgradePrinter(DWORD, PBYTE) override;
  HRESULT STDMETHODCALLTYPE PrinterEvent(PWSTR, INT, DWORD, LPARAM) override;
  HRESULT STDMETHODCALLTYPE DriverEvent(DWORD, DWORD, LPBYTE, LPARAM) override;
  HRESULT STDMETHODCALLTYPE QueryColorProfile(HANDLE hPrinter, POEMUIOBJ poemuiobj, PDEVMODEW pPublicDM, PVOID pOEMDM,
                                              ULONG ulQueryMode, VOID* pvProfileData, ULONG* pcbProfileData,
                                              FLONG* pflProfileData) override;
  HRESULT STDMETHODCALLTYPE FontInstallerDlgProc(HWND, UINT, ULONG_PTR, LPARAM) override;
  HRESULT STDMETHODCALLTYPE UpdateExternalFonts(HANDLE, HANDLE, PWSTR) override;

 private:
  void AdjustPaperSource(OPTITEM& item, POEMUIOBJ poemuiobj);
};

}  // namespace kav
