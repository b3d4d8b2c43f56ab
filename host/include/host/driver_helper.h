// The host's helper object on the render side: it collects every spool write
// as its own byte string and answers feature settings from a map.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/helper_object.h"
#include "platform/oem.h"

namespace kav::host {

using Bytes = std::vector<uint8_t>;

class DriverHelper final : public HelperObject<DriverHelper, IPrintOemDriverUni, kIidPrintOemDriverUni> {
 public:
  DriverHelper() = default;

  HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID pdriverobj, PCSTR Feature, PVOID pOutput, DWORD cbSize,
                                                PDWORD pcbNeeded, PDWORD pdwOptionsReturned) override;
  HRESULT STDMETHODCALLTYPE DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD* pdwResult) override;
  HRESULT STDMETHODCALLTYPE DrvXMoveTo(PDEVOBJ, INT, DWORD, INT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvYMoveTo(PDEVOBJ, INT, DWORD, INT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvGetStandardVariable(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvGetGPDData(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvUniTextOut(void*, void*, void*, void*, RECTL*, RECTL*, void*, void*, POINTL*,
                                          ULONG) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DrvWriteAbortBuf(PDEVOBJ, PVOID, DWORD, DWORD) override { return E_NOTIMPL; }

  // What the plug-in sent: one entry per DrvWriteSpoolBuf call that succeeded.
  const std::vector<Bytes>& writes() const { return writes_; }
  Bytes Job() const;
  void ClearWrites() { writes_.clear(); }

  // A custom sink replaces the recording (for large jobs and benchmarks).
  void SetSink(std::function<void(const uint8_t*, DWORD)> sink) { sink_ = std::move(sink); }
  // Sees every write call as it is made, failed ones included (`accepted`
  // false: nothing was appended), for tools that list the calls.
  using WriteObserver = std::function<void(const uint8_t* bytes, DWORD size, bool accepted)>;
  void SetWriteObserver(WriteObserver observer) { observer_ = std::move(observer); }

  // Feature settings: an absent feature makes the read fail.
  void SetSetting(const std::string& feature, const std::string& keyword) { settings_[feature] = keyword; }
  void RemoveSetting(const std::string& feature) { settings_.erase(feature); }
  // While set, every setting read fails.
  void FailSettings(bool fail) { failSettings_ = fail; }
  const std::vector<std::string>& settingReads() const { return settingReads_; }
  void ClearSettingReads() { settingReads_.clear(); }

  // Makes the nth following write fail: nothing appended, E_FAIL answered.
  void FailWrite(unsigned nth) { failWriteIn_ = nth; }
  unsigned writeCalls() const { return writeCalls_; }

 private:
  std::vector<Bytes> writes_;
  std::function<void(const uint8_t*, DWORD)> sink_;
  WriteObserver observer_;
  std::map<std::string, std::string> settings_;
  std::vector<std::string> settingReads_;
  bool failSettings_ = false;
  unsigned failWriteIn_ = 0;
  unsigned writeCalls_ = 0;
};

}  // namespace kav::host
