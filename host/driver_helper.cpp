#include "host/driver_helper.h"

#include <algorithm>
#include <cstring>

namespace kav::host {

Bytes RecordingSink::Job() const {
  Bytes job;
  for (const Bytes& write : writes_) job.insert(job.end(), write.begin(), write.end());
  return job;
}

void DriverHelper::SetSetting(const std::string& feature, const std::string& keyword) {
  settings_[feature] = {keyword, S_OK, false};
}

void DriverHelper::ScriptSetting(const std::string& feature, std::string bytes, HRESULT result) {
  settings_[feature] = {std::move(bytes), result, true};
}

// A host setting goes into the caller's buffer as a NUL-terminated string; a
// keyword that does not fit is a failed read.
HRESULT DriverHelper::DrvGetDriverSetting(PVOID, PCSTR Feature, PVOID pOutput, DWORD cbSize, PDWORD pcbNeeded,
                                          PDWORD pdwOptionsReturned) {
  settingReads_.emplace_back(Feature == nullptr ? "" : Feature);
  if (failSettings_ || Feature == nullptr) return E_FAIL;
  const auto found = settings_.find(Feature);
  if (found == settings_.end()) return E_FAIL;
  const Setting& setting = found->second;
  if (setting.scripted) {
    if (pOutput != nullptr) std::memcpy(pOutput, setting.bytes.data(), std::min<size_t>(setting.bytes.size(), cbSize));
    return setting.result;
  }
  const DWORD needed = static_cast<DWORD>(setting.bytes.size() + 1);
  if (pcbNeeded != nullptr) *pcbNeeded = needed;
  if (pdwOptionsReturned != nullptr) *pdwOptionsReturned = 1;
  if (pOutput == nullptr || cbSize < needed) return E_FAIL;
  std::memcpy(pOutput, setting.bytes.c_str(), needed);
  return S_OK;
}

HRESULT DriverHelper::DrvWriteSpoolBuf(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD* pdwResult) {
  ++writeCalls_;
  const auto* bytes = static_cast<const uint8_t*>(pBuffer);
  const bool failNow = failWriteIn_ != 0 && --failWriteIn_ == 0;
  // Bytes that are not there cannot be appended.
  const bool noBytes = bytes == nullptr && cbSize != 0;
  const HRESULT result = noBytes ? E_INVALIDARG : failNow ? E_FAIL : writeResult_;
  if (observer_) observer_(bytes, cbSize, SUCCEEDED(result));
  if (FAILED(result)) {
    if (pdwResult != nullptr) *pdwResult = 0;
    return result;
  }
  sink_->Write(bytes, cbSize);
  if (pdwResult != nullptr) *pdwResult = cbSize;
  return result;
}

}  // namespace kav::host
