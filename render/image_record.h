// The printer's image record: a header that places a band on the page and
// says how its pixels are coded, followed by the data. Every number is
// big-endian; every float is an IEEE single written big-endian.
#pragma once

#include <cstdint>

#include "platform/oem.h"
#include "render/printer_language.h"

namespace kav {

// The in-memory description the general header writer takes. Fields that
// `extKind`, `formatKind` and `colorSpace` leave out of the record are not read.
struct ImageRecordHeader {
  float originX;
  float originY;
  float transform[6];
  uint16_t width;
  uint16_t height;
  uint8_t extKind;  // 2: extCode and extValue follow
  uint8_t extCode;
  uint32_t extValue;
  uint8_t formatKind;  // 2: the format block follows
  uint8_t colorSpace;  // 8 to 11: a table follows
  uint8_t tableKind;
  uint16_t tableCount;
  uint16_t tableLength;
  const uint8_t* tableData;  // borrowed from the caller; tableLength bytes, or null for none
  uint8_t dataLayout;
  uint8_t bitsPerComponent;
  uint8_t compression;
  uint32_t dataLength;
};

// Where a writer's bytes go: the host's helper and the device they are for,
// passed together so that one device's bytes cannot reach another's helper.
struct SpoolTarget {
  IPrintOemDriverUni* helper;
  PDEVOBJ pdevobj;
};

// One-item writers: each is exactly one DrvWriteSpoolBuf call, assembled
// byte by byte so the machine's byte order does not matter, and answers
// that call's result.
HRESULT SpoolU8(const SpoolTarget& out, uint32_t value);
HRESULT SpoolU16BE(const SpoolTarget& out, uint32_t value);
HRESULT SpoolU32BE(const SpoolTarget& out, uint32_t value);
HRESULT SpoolFloatBE(const SpoolTarget& out, float value);
HRESULT SpoolBytes(const SpoolTarget& out, const void* bytes, DWORD count);

// Writes the header field by field, one write per field; stops with E_FAIL
// at the first write that fails, leaving the fields before it in the job.
HRESULT WriteImageRecordHeader(const SpoolTarget& out, const ImageRecordHeader& header);

// The short form of a header with originX 0, the identity transform and no
// extension or table: seven writes from constant blocks and the producer's
// values, whose results are not looked at.
void WriteShortImageRecordHeader(const SpoolTarget& out, float originY, uint16_t width, uint16_t height,
                                 const language::FormatDescriptor& descriptor, uint32_t dataLength);

}  // namespace kav
