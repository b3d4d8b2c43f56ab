// The first and third byte of each 24-bit pixel exchanged: the host's
// blue-green-red becomes red-green-blue and back again.
#pragma once

#include "platform/win32.h"

namespace kav {

// `width` pixels of `source` into `row` with their first and third byte
// exchanged; `row` may be `source` itself.
void ExchangeFirstAndThirdBytes(const BYTE* source, BYTE* row, DWORD width);

// The same for every row of a band, in place; a second call undoes the first.
void ExchangeFirstAndThirdBytesInBand(PBYTE bits, DWORD width, DWORD rows, DWORD stride);

// Whether the processor has SSSE3's byte shuffle, which every x64 processor
// since about 2011 has and the earliest lack.
bool ProcessorCanShuffle();

}  // namespace kav
