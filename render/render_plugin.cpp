#include "render/render_plugin.h"

#include <cstring>

#include "common/private_devmode.h"
#include "render/command_callback.h"
#include "render/image_processing.h"

namespace kav {

const CLSID kModuleClassId = kClsidRenderPlugin;

// The host creates one render object per driver instance and may release it
// while the spooler still runs jobs through the library. Each object made
// takes a reference that is never dropped and counts as live for good, so the
// object outlives the host's last Release and DllCanUnloadNow answers S_FALSE
// for the rest of the process once one has been made. Its helper interface is
// still released by DisableDriver.
HRESULT CreatePluginObject(REFIID riid, void** ppv) {
  auto* object = HeapNew<RenderPlugin>();
  if (object == nullptr) return E_OUTOFMEMORY;
  InterlockedIncrement(&Counters().liveObjects);
  object->AddRef();
  const HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

DWORD IsOsVersionAtLeast51() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExW(&info)) return 0;
  return info.dwMajorVersion > 5 || (info.dwMajorVersion == 5 && info.dwMinorVersion >= 1) ? 1 : 0;
}

namespace {

// The optional methods the host is to call; every other name is refused.
constexpr const char* kImplementedMethodNames[] = {
    "CommandCallback", "DisableDriver", "DisablePDEV",     "DevMode",   "EnableDriver",
    "EnablePDEV",      "GetInfo",       "ImageProcessing", "ResetPDEV",
};

}  // namespace

HRESULT RenderPlugin::GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) {
  return AnswerGetInfo(dwMode, pBuffer, cbSize, pcbNeeded, false);
}

HRESULT RenderPlugin::DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) {
  return HandlePrivateDevMode(dwMode, pOemDMParam);
}

HRESULT RenderPlugin::EnableDriver(DWORD, DWORD, PDRVENABLEDATA) { return S_OK; }

HRESULT RenderPlugin::DisableDriver() {
  ReleaseDriverHelper();
  return S_OK;
}

HRESULT RenderPlugin::EnablePDEV(PDEVOBJ, PWSTR, ULONG, HSURF*, ULONG, GDIINFO* pGdiInfo, ULONG, DEVINFO*,
                                 DRVENABLEDATA*, PVOID* pDevOem) {
  if (pDevOem == nullptr) return E_FAIL;
  auto* pdev = HeapNew<RenderPdev>();
  if (pdev == nullptr || pGdiInfo == nullptr) {
    HeapDelete(pdev);
    *pDevOem = nullptr;
    return E_FAIL;
  }
  pdev->physOffsetX = static_cast<DWORD>(pGdiInfo->ptlPhysOffset.x);
  pdev->physOffsetY = static_cast<DWORD>(pGdiInfo->ptlPhysOffset.y);
  pdev->tryJpeg = IsOsVersionAtLeast51();
  *pDevOem = pdev;
  return S_OK;
}

HRESULT RenderPlugin::DisablePDEV(PDEVOBJ pdevobj) {
  if (pdevobj != nullptr) HeapDelete(static_cast<RenderPdev*>(pdevobj->pdevOEM));
  return S_OK;
}

HRESULT RenderPlugin::ResetPDEV(PDEVOBJ, PDEVOBJ) { return S_OK; }

HRESULT RenderPlugin::GetImplementedMethod(PSTR pMethodName) {
  if (pMethodName == nullptr) return S_FALSE;
  for (const char* name : kImplementedMethodNames) {
    if (std::strcmp(pMethodName, name) == 0) return S_OK;
  }
  return S_FALSE;
}

HRESULT RenderPlugin::CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD, PDWORD, INT* piResult) {
  RunCommandCallback({driverHelper, pdevobj}, dwCallbackID);
  if (piResult != nullptr) *piResult = 0;
  return S_OK;
}

HRESULT RenderPlugin::ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                                      PBYTE pColorTable, DWORD dwCallbackID, PIPPARAMS pIPParams, PBYTE* ppbResult) {
  ProcessBand({driverHelper, pdevobj}, pSrcBitmap, pBitmapInfoHeader, pColorTable, dwCallbackID, pIPParams);
  // The host reads a pointer-sized TRUE: the band has been dealt with.
  if (ppbResult != nullptr) *ppbResult = reinterpret_cast<PBYTE>(static_cast<ULONG_PTR>(TRUE));
  return S_OK;
}

// Slots the host never calls or that serve nothing here.
HRESULT RenderPlugin::FilterGraphics(PDEVOBJ, PBYTE, DWORD) { return S_OK; }
HRESULT RenderPlugin::DriverDMS(PVOID, PVOID, DWORD, PDWORD) { return E_NOTIMPL; }
HRESULT RenderPlugin::Compression(PDEVOBJ, PBYTE, PBYTE, DWORD, DWORD, INT*) { return E_NOTIMPL; }
HRESULT RenderPlugin::HalftonePattern(PDEVOBJ, PBYTE, DWORD, DWORD, DWORD, DWORD, PBYTE, DWORD) { return E_NOTIMPL; }
HRESULT RenderPlugin::MemoryUsage(PDEVOBJ, PVOID) { return E_NOTIMPL; }
HRESULT RenderPlugin::TTYGetInfo(PDEVOBJ, DWORD, PVOID, DWORD, DWORD*) { return E_NOTIMPL; }
HRESULT RenderPlugin::DownloadFontHeader(PDEVOBJ, PVOID, DWORD*) { return E_NOTIMPL; }
HRESULT RenderPlugin::DownloadCharGlyph(PDEVOBJ, PVOID, ULONG, PDWORD, DWORD*) { return E_NOTIMPL; }
HRESULT RenderPlugin::TTDownloadMethod(PDEVOBJ, PVOID, DWORD*) { return E_NOTIMPL; }
HRESULT RenderPlugin::OutputCharStr(PDEVOBJ, PVOID, DWORD, DWORD, PVOID) { return E_NOTIMPL; }
HRESULT RenderPlugin::SendFontCmd(PDEVOBJ, PVOID, PVOID) { return E_NOTIMPL; }
HRESULT RenderPlugin::TextOutAsBitmap(void*, void*, void*, void*, RECTL*, RECTL*, void*, void*, POINTL*, ULONG) {
  return E_NOTIMPL;
}
HRESULT RenderPlugin::WritePrinter(PDEVOBJ, PVOID, DWORD, PDWORD) { return E_NOTIMPL; }

}  // namespace kav
