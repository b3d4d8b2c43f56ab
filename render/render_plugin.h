// The render plug-in object that the host drives through IPrintOemUni2, and
// the record it keeps for each device.
#pragma once

#include "common/module_frame.h"

namespace kav {

// One per device, from EnablePDEV to DisablePDEV; the host keeps the pointer
// in DEVOBJ::pdevOEM.
struct RenderPdev {
  DWORD physOffsetX;  // device pixels from the sheet's left edge to the printable area
  DWORD physOffsetY;  // and from its top edge
  DWORD tryJpeg;      // non-zero while gray and colour bands may go out as JPEG
};
static_assert(sizeof(RenderPdev) == 12);

// 1 on systems of version 5.1 and later, where bands are tried as JPEG. A
// failed version query answers 0, the side that never tries JPEG.
DWORD IsOsVersionAtLeast51();

class RenderPlugin final : public PluginObject<RenderPlugin, IPrintOemUni2, IPrintOemDriverUni> {
 public:
  static constexpr const GUID& kInterfaceId = kIidPrintOemUni2;
  static constexpr const GUID& kHelperId = kIidPrintOemDriverUni;

  HRESULT STDMETHODCALLTYPE GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) override;
  HRESULT STDMETHODCALLTYPE DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) override;
  HRESULT STDMETHODCALLTYPE EnableDriver(DWORD, DWORD, PDRVENABLEDATA) override;
  HRESULT STDMETHODCALLTYPE DisableDriver() override;
  HRESULT STDMETHODCALLTYPE EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns, HSURF* phsurfPatterns,
                                       ULONG cjGdiInfo, GDIINFO* pGdiInfo, ULONG cjDevInfo, DEVINFO* pDevInfo,
                                       DRVENABLEDATA* pded, PVOID* pDevOem) override;
  HRESULT STDMETHODCALLTYPE DisablePDEV(PDEVOBJ pdevobj) override;
  HRESULT STDMETHODCALLTYPE ResetPDEV(PDEVOBJ, PDEVOBJ) override;
  HRESULT STDMETHODCALLTYPE GetImplementedMethod(PSTR pMethodName) override;
  HRESULT STDMETHODCALLTYPE DriverDMS(PVOID, PVOID, DWORD, PDWORD) override;
  HRESULT STDMETHODCALLTYPE CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams,
                                            INT* piResult) override;
  HRESULT STDMETHODCALLTYPE ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                                            PBYTE pColorTable, DWORD dwCallbackID, PIPPARAMS pIPParams,
                                            PBYTE* ppbResult) override;
  HRESULT STDMETHODCALLTYPE FilterGraphics(PDEVOBJ, PBYTE, DWORD) override;
  HRESULT STDMETHODCALLTYPE Compression(PDEVOBJ, PBYTE, PBYTE, DWORD, DWORD, INT*) override;
  HRESULT STDMETHODCALLTYPE HalftonePattern(PDEVOBJ, PBYTE, DWORD, DWORD, DWORD, DWORD, PBYTE, DWORD) override;
  HRESULT STDMETHODCALLTYPE MemoryUsage(PDEVOBJ, PVOID) override;
  HRESULT STDMETHODCALLTYPE TTYGetInfo(PDEVOBJ, DWORD, PVOID, DWORD, DWORD*) override;
  HRESULT STDMETHODCALLTYPE DownloadFontHeader(PDEVOBJ, PVOID, DWORD*) override;
  HRESULT STDMETHODCALLTYPE DownloadCharGlyph(PDEVOBJ, PVOID, ULONG, PDWORD, DWORD*) override;
  HRESULT STDMETHODCALLTYPE TTDownloadMethod(PDEVOBJ, PVOID, DWORD*) override;
  HRESULT STDMETHODCALLTYPE OutputCharStr(PDEVOBJ, PVOID, DWORD, DWORD, PVOID) override;
  HRESULT STDMETHODCALLTYPE SendFontCmd(PDEVOBJ, PVOID, PVOID) override;
  HRESULT STDMETHODCALLTYPE TextOutAsBitmap(void*, void*, void*, void*, RECTL*, RECTL*, void*, void*, POINTL*,
                                            ULONG) override;
  HRESULT STDMETHODCALLTYPE WritePrinter(PDEVOBJ, PVOID, DWORD, PDWORD) override;
};

}  // namespace kav
