#include "common/private_devmode.h"

#include <algorithm>
#include <cstring>

namespace kav {
namespace {

constexpr PrivateDevMode kDefaultRecord = {sizeof(PrivateDevMode), kPrivateDevModeSignature, kPrivateDevModeVersion, 0};

// A record whose size cannot even hold the header is never taken for ours.
bool SameSignature(const PrivateDevMode& in, const PrivateDevMode& out) {
  return in.dwSize >= sizeof(OEM_DMEXTRAHEADER) && out.dwSize >= sizeof(OEM_DMEXTRAHEADER) &&
         in.dwSignature == out.dwSignature;
}

// Copies as much of In as both records claim to hold, never more than the
// record itself: a size field that claims more is not believed.
void CopyRecord(const PrivateDevMode& in, PrivateDevMode& out) {
  const DWORD length = std::min({in.dwSize, out.dwSize, static_cast<DWORD>(sizeof(PrivateDevMode))});
  std::memmove(&out, &in, length);
}

void StampHeader(PrivateDevMode& out) {
  out.dwSize = sizeof(PrivateDevMode);
  out.dwSignature = kPrivateDevModeSignature;
  out.dwVersion = kPrivateDevModeVersion;
}

// Takes In's contents when its signature is Out's own; the signature that
// both carry is kept as it is (the merge stamps ours afterwards).
void Convert(const PrivateDevMode* in, PrivateDevMode* out) {
  if (in == nullptr || out == nullptr) return;
  out->dwFlag = 0;
  if (SameSignature(*in, *out)) {
    CopyRecord(*in, *out);
    out->dwSize = sizeof(PrivateDevMode);
    out->dwVersion = kPrivateDevModeVersion;
  } else {
    StampHeader(*out);
  }
}

void Merge(const PrivateDevMode* in, PrivateDevMode* out) {
  if (out == nullptr) return;
  Convert(in, out);
  StampHeader(*out);
  out->dwFlag = out->dwFlag != 0 ? 1 : 0;
}

HRESULT FailInvalidParameter() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return E_FAIL;
}

}  // namespace

HRESULT HandlePrivateDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) {
  if (pOemDMParam == nullptr || dwMode < OEMDM_SIZE || dwMode > OEMDM_MERGE) return FailInvalidParameter();
  const auto* in = static_cast<const PrivateDevMode*>(pOemDMParam->pOEMDMIn);
  auto* out = static_cast<PrivateDevMode*>(pOemDMParam->pOEMDMOut);
  switch (dwMode) {
    case OEMDM_SIZE:
      pOemDMParam->cbBufSize = sizeof(PrivateDevMode);
      return S_OK;
    case OEMDM_DEFAULT:
      if (out == nullptr) return FailInvalidParameter();
      *out = kDefaultRecord;
      return S_OK;
    case OEMDM_CONVERT:
      Convert(in, out);
      return S_OK;
    default:
      Merge(in, out);
      return S_OK;
  }
}

HRESULT AnswerGetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded, bool acceptsPublisherInfo) {
  const bool known = dwMode == OEMGI_GETSIGNATURE || dwMode == OEMGI_GETVERSION ||
                     (acceptsPublisherInfo && dwMode == OEMGI_GETPUBLISHERINFO);
  if (pcbNeeded == nullptr || !known) return FailInvalidParameter();
  *pcbNeeded = sizeof(DWORD);
  if (cbSize < sizeof(DWORD) || pBuffer == nullptr) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return E_FAIL;
  }
  switch (dwMode) {
    case OEMGI_GETSIGNATURE:
      *static_cast<DWORD*>(pBuffer) = kPrivateDevModeSignature;
      return S_OK;
    case OEMGI_GETVERSION:
      *static_cast<DWORD*>(pBuffer) = kPrivateDevModeVersion;
      return S_OK;
    default:
      *pcbNeeded = 0;
      SetLastError(ERROR_NOT_SUPPORTED);
      return E_FAIL;
  }
}

}  // namespace kav
