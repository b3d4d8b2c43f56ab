// The printer host's render side, stood in for: it loads the render library,
// creates the plug-in object, publishes its helper, keeps a device with its
// public device mode and GDI information, and makes the calls.
#pragma once

#include <string>
#include <vector>

#include "host/driver_helper.h"
#include "host/plugin_library.h"

namespace kav::host {

struct BandResult {
  HRESULT hr;
  PBYTE result;  // what the plug-in stored through ppbResult
};

class RenderSession {
 public:
  RenderSession();
  RenderSession(const RenderSession&) = delete;
  RenderSession& operator=(const RenderSession&) = delete;
  ~RenderSession();

  // Loads the library at `pluginPath`, creates the plug-in object and
  // publishes the helper; false with `error` set when any step fails.
  bool Open(const std::string& pluginPath, std::string& error);

  // The device: A4 at 600 dpi in colour until changed.
  DEVMODEW& devmode() { return devmode_; }
  GDIINFO& gdiInfo() { return gdiInfo_; }
  DEVOBJ& devobj() { return devobj_; }

  HRESULT EnableDevice();
  void DisableDevice();
  bool deviceEnabled() const { return deviceEnabled_; }

  // CommandCallback with the parameter values `params` (none: no array).
  HRESULT Command(DWORD callbackId, INT* result = nullptr, const std::vector<DWORD>& params = {});
  BandResult Band(DWORD callbackId, BITMAPINFOHEADER& header, PBYTE bits, IPPARAMS& params);

  IPrintOemUni2* plugin() const { return plugin_; }
  DriverHelper& helper() { return *helper_; }
  const PluginLibrary& library() const { return library_; }

 private:
  void Close();

  PluginLibrary library_;
  IPrintOemUni2* plugin_ = nullptr;
  DriverHelper* helper_;
  DEVMODEW devmode_{};
  GDIINFO gdiInfo_{};
  DEVINFO devInfo_{};
  DEVOBJ devobj_{};
  bool deviceEnabled_ = false;
};

}  // namespace kav::host
