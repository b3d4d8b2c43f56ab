#include "host/render_session.h"

namespace kav::host {

RenderSession::RenderSession() : helper_(new DriverHelper) {
  devmode_.dmSize = sizeof(DEVMODEW);
  devmode_.dmSpecVersion = 0x0401;
  devmode_.dmColor = 2;
  devmode_.dmPaperWidth = 2100;
  devmode_.dmPaperLength = 2970;
  devmode_.dmPrintQuality = 600;
  devmode_.dmYResolution = 600;
  gdiInfo_.ulLogPixelsX = 600;
  gdiInfo_.ulLogPixelsY = 600;
  gdiInfo_.ptlPhysOffset = {100, 100};
  devobj_.dwSize = sizeof(DEVOBJ);
  devobj_.pPublicDM = &devmode_;
}

RenderSession::~RenderSession() {
  Close();
  helper_->Release();
}

bool RenderSession::Open(const std::string& pluginPath, std::string& error) {
  Close();
  if (!library_.Load(pluginPath, error)) return false;
  plugin_ = library_.CreatePlugin<IPrintOemUni2>(kClsidRenderPlugin, kIidPrintOemUni2, helper_, error);
  return plugin_ != nullptr;
}

// The host's order at the end of a job: device, driver, object.
void RenderSession::Close() {
  if (plugin_ == nullptr) return;
  DisableDevice();
  plugin_->DisableDriver();
  plugin_->Release();
  plugin_ = nullptr;
}

HRESULT RenderSession::EnableDevice() {
  DisableDevice();
  PVOID pdev = nullptr;
  const HRESULT hr = plugin_->EnablePDEV(&devobj_, nullptr, 0, nullptr, sizeof(GDIINFO), &gdiInfo_, sizeof(DEVINFO),
                                         &devInfo_, nullptr, &pdev);
  devobj_.pdevOEM = pdev;
  deviceEnabled_ = SUCCEEDED(hr);
  return hr;
}

void RenderSession::DisableDevice() {
  if (!deviceEnabled_) return;
  plugin_->DisablePDEV(&devobj_);
  devobj_.pdevOEM = nullptr;
  deviceEnabled_ = false;
}

HRESULT RenderSession::Command(DWORD callbackId, INT* result, const std::vector<DWORD>& params) {
  INT ignored = -1;
  if (params.empty()) {
    return plugin_->CommandCallback(&devobj_, callbackId, 0, nullptr, result != nullptr ? result : &ignored);
  }
  std::vector<DWORD> values = params;  // the plug-in is handed its own copy
  return plugin_->CommandCallback(&devobj_, callbackId, static_cast<DWORD>(values.size()), values.data(),
                                  result != nullptr ? result : &ignored);
}

BandResult RenderSession::Band(DWORD callbackId, BITMAPINFOHEADER& header, PBYTE bits, IPPARAMS& params) {
  BandResult answer{E_FAIL, nullptr};
  answer.hr = plugin_->ImageProcessing(&devobj_, bits, &header, nullptr, callbackId, &params, &answer.result);
  return answer;
}

}  // namespace kav::host
