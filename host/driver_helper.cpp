#include "host/driver_helper.h"

#include <cstring>

namespace kav::host {

// Puts the keyword into the caller's buffer as a NUL-terminated string, as
// the host does; a keyword that does not fit is a failed read.
HRESULT DriverHelper::DrvGetDriverSetting(PVOID, PCSTR Feature, PVOID pOutput, DWORD cbSize, PDWORD pcbNeeded,
                                          PDWORD pdwOptionsReturned) {
  settingReads_.emplace_back(Feature == nullptr ? "" : Feature);
  if (failSettings_ || Feature == nullptr) return E_FAIL;
  const auto found = settings_.find(Feature);
  if (found == settings_.end()) return E_FAIL;
  const DWORD needed = static_cast<DWORD>(found->second.size() + 1);
  if (pcbNeeded != nullptr) *pcbNeeded = needed;
  if (pdwOptionsReturned != nullptr) *pdwOptionsReturned = 1;
  if (pOutput == nullptr || cbSize < needed) return E_FAIL;
  std::memcpy(pOutput, found->second.c_str(), needed);
  return S_OK;
}

HRESULT DriverHelper::DrvWriteSpoolBuf(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD* pdwResult) {
  ++writeCalls_;
  const auto* bytes = static_cast<const uint8_t*>(pBuffer);
  const bool fails = failWriteIn_ != 0 && --failWriteIn_ == 0;
  if (observer_) observer_(bytes, cbSize, !fails);
  if (fails) {
    if (pdwResult != nullptr) *pdwResult = 0;
    return E_FAIL;
  }
  if (sink_) {
    sink_(bytes, cbSize);
  } else {
    writes_.emplace_back(bytes, bytes + cbSize);
  }
  if (pdwResult != nullptr) *pdwResult = cbSize;
  return S_OK;
}

Bytes DriverHelper::Job() const {
  Bytes job;
  for (const Bytes& write : writes_) job.insert(job.end(), write.begin(), write.end());
  return job;
}

}  // namespace kav::host
