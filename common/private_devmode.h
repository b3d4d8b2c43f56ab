// The plug-ins' private part of the device mode, kept by both libraries.
#pragma once

#include "platform/oem.h"

namespace kav {

inline constexpr DWORD kPrivateDevModeSignature = 0x4D534654;  // bytes 54 46 53 4D
inline constexpr DWORD kPrivateDevModeVersion = 1;

struct PrivateDevMode {
  DWORD dwSize;  // these three are the host's OEM_DMEXTRAHEADER
  DWORD dwSignature;
  DWORD dwVersion;
  DWORD dwFlag;  // 0 or 1
};
static_assert(sizeof(PrivateDevMode) == 16);
static_assert(sizeof(OEM_DMEXTRAHEADER) == 12);

// Answers the host's DevMode call of either plug-in.
HRESULT HandlePrivateDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam);

// Answers GetInfo for the signature and version modes; `acceptsPublisherInfo`
// is the UI plug-in's extra mode, which it recognises but does not serve.
HRESULT AnswerGetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded, bool acceptsPublisherInfo);

}  // namespace kav
