// A render-side helper whose every answer the test sets: a setting read
// copies exactly the bytes given (no NUL added) and answers the result given,
// whatever it copied; a write is recorded and answers the result given. It
// lives on the test's stack, so its reference count never frees it.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bytes.h"
#include "platform/oem.h"

namespace kav::test {

class ScriptedHelper final : public IPrintOemDriverUni {
 public:
  struct Setting {
    std::string bytes;
    HRESULT result;
  };

  void Answer(const std::string& feature, std::string bytes, HRESULT result) {
    settings[feature] = {std::move(bytes), result};
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualGUID(riid, kIidUnknown) || IsEqualGUID(riid, kIidPrintOemDriverUni)) {
      *ppv = static_cast<IPrintOemDriverUni*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }

  HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR Feature, PVOID pOutput, DWORD cbSize, PDWORD,
                                                PDWORD) override {
    settingReads.emplace_back(Feature);
    const auto found = settings.find(Feature);
    if (found == settings.end()) return E_FAIL;
    const std::string& bytes = found->second.bytes;
    std::memcpy(pOutput, bytes.data(), std::min<size_t>(bytes.size(), cbSize));
    return found->second.result;
  }
  HRESULT STDMETHODCALLTYPE DrvWriteSpoolBuf(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD* pdwResult) override {
    const auto* bytes = static_cast<const uint8_t*>(pBuffer);
    writes.emplace_back(bytes, bytes + cbSize);
    if (pdwResult != nullptr) *pdwResult = cbSize;
    return writeResult;
  }
  HRESULT STDMETHODCALLTYPE DrvXMoveTo(PDEVOBJ, INT, DWORD, INT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvYMoveTo(PDEVOBJ, INT, DWORD, INT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvGetStandardVariable(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvGetGPDData(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvUniTextOut(void*, void*, void*, void*, RECTL*, RECTL*, void*, void*, POINTL*,
                                          ULONG) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DrvWriteAbortBuf(PDEVOBJ, PVOID, DWORD, DWORD) override { return E_NOTIMPL; }

  std::map<std::string, Setting> settings;
  std::vector<std::string> settingReads;
  std::vector<Bytes> writes;
  HRESULT writeResult = S_OK;
  long references = 1;
};

}  // namespace kav::test
