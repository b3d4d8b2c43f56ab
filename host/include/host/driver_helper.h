// The host's helper object on the render side: it hands every spool write to
// one sink (a recording of each write as its own byte string, unless another
// is set) and answers feature settings from a map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/helper_object.h"
#include "platform/oem.h"

namespace kav::host {

using Bytes = std::vector<uint8_t>;

// Where the bytes the plug-in spools go, one call per accepted write.
class SpoolSink {
 public:
  virtual void Write(const uint8_t* bytes, size_t size) = 0;

 protected:
  ~SpoolSink() = default;
};

// Keeps each write as its own byte string: the split into writes is part of
// what the printer is sent.
class RecordingSink final : public SpoolSink {
 public:
  void Write(const uint8_t* bytes, size_t size) override { writes_.emplace_back(bytes, bytes + size); }
  const std::vector<Bytes>& writes() const { return writes_; }
  Bytes Job() const;
  void Clear() { writes_.clear(); }

 private:
  std::vector<Bytes> writes_;
};

// Counts the bytes and keeps none (large jobs, benchmarks, fuzzing).
class CountingSink final : public SpoolSink {
 public:
  void Write(const uint8_t*, size_t size) override { bytes_ += size; }
  uint64_t bytes() const { return bytes_; }

 private:
  uint64_t bytes_ = 0;
};

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

  // The one output: the recording below unless another sink is set; null
  // goes back to the recording. The sink must outlive its use here.
  void SetSink(SpoolSink* sink) { sink_ = sink != nullptr ? sink : &recording_; }
  // What reached the recording: one entry per accepted write.
  const std::vector<Bytes>& writes() const { return recording_.writes(); }
  Bytes Job() const { return recording_.Job(); }
  void ClearWrites() { recording_.Clear(); }

  // Sees every write call as it is made, failed ones included (`accepted`
  // false: it reached no sink), for tools that list the calls and tests that
  // look at refused ones.
  using WriteObserver = std::function<void(const uint8_t* bytes, DWORD size, bool accepted)>;
  void SetWriteObserver(WriteObserver observer) { observer_ = std::move(observer); }

  // Feature settings as the host answers them: the keyword and its NUL, a
  // failed read when the buffer is too small; an absent feature fails.
  void SetSetting(const std::string& feature, const std::string& keyword);
  // A scripted answer: exactly `bytes` (no NUL added, cut to the buffer) and
  // `result`, whatever was copied.
  void ScriptSetting(const std::string& feature, std::string bytes, HRESULT result);
  void RemoveSetting(const std::string& feature) { settings_.erase(feature); }
  // While set, every setting read fails.
  void FailSettings(bool fail) { failSettings_ = fail; }
  const std::vector<std::string>& settingReads() const { return settingReads_; }
  void ClearSettingReads() { settingReads_.clear(); }

  // Makes the nth following write fail: nothing reaches the sink, E_FAIL answered.
  void FailWrite(unsigned nth) { failWriteIn_ = nth; }
  // Every following write answers `result`; a failure result (negative)
  // reaches no sink, a success one (S_FALSE, say) is accepted.
  void AnswerWrites(HRESULT result) { writeResult_ = result; }
  unsigned writeCalls() const { return writeCalls_; }

 private:
  struct Setting {
    std::string bytes;
    HRESULT result;
    bool scripted;
  };

  RecordingSink recording_;
  SpoolSink* sink_ = &recording_;
  WriteObserver observer_;
  std::map<std::string, Setting> settings_;
  std::vector<std::string> settingReads_;
  bool failSettings_ = false;
  unsigned failWriteIn_ = 0;
  HRESULT writeResult_ = S_OK;
  unsigned writeCalls_ = 0;
};

}  // namespace kav::host
