#include "render/image_record.h"

#include <bit>

namespace kav {
namespace {

HRESULT Spool(const SpoolTarget& out, const uint8_t* bytes, DWORD count) {
  DWORD written = 0;
  return out.helper->DrvWriteSpoolBuf(out.pdevobj, const_cast<uint8_t*>(bytes), count, &written);
}

}  // namespace

HRESULT SpoolU8(const SpoolTarget& out, uint32_t value) {
  const uint8_t bytes[1] = {static_cast<uint8_t>(value)};
  return Spool(out, bytes, 1);
}

HRESULT SpoolU16BE(const SpoolTarget& out, uint32_t value) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return Spool(out, bytes, 2);
}

HRESULT SpoolU32BE(const SpoolTarget& out, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return Spool(out, bytes, 4);
}

HRESULT SpoolFloatBE(const SpoolTarget& out, float value) { return SpoolU32BE(out, std::bit_cast<uint32_t>(value)); }

HRESULT SpoolBytes(const SpoolTarget& out, const void* bytes, DWORD count) {
  return Spool(out, static_cast<const uint8_t*>(bytes), count);
}

HRESULT WriteImageRecordHeader(const SpoolTarget& out, const ImageRecordHeader& header) {
  // Each step is one write; the first failure ends the header.
  auto ok = [](HRESULT hr) { return SUCCEEDED(hr); };
  if (!ok(SpoolBytes(out, language::kRecordSignature, sizeof language::kRecordSignature))) return E_FAIL;
  if (!ok(SpoolFloatBE(out, header.originX))) return E_FAIL;
  if (!ok(SpoolFloatBE(out, header.originY))) return E_FAIL;
  for (float t : header.transform) {
    if (!ok(SpoolFloatBE(out, t))) return E_FAIL;
  }
  if (!ok(SpoolU16BE(out, header.width))) return E_FAIL;
  if (!ok(SpoolU16BE(out, header.height))) return E_FAIL;
  if (!ok(SpoolU8(out, header.extKind))) return E_FAIL;
  if (header.extKind == language::kExtensionFollows) {
    if (!ok(SpoolU8(out, header.extCode))) return E_FAIL;
    if (!ok(SpoolU32BE(out, header.extValue))) return E_FAIL;
  }
  if (!ok(SpoolU8(out, header.formatKind))) return E_FAIL;
  if (header.formatKind != language::kFormatBlockFollows) return S_OK;
  if (!ok(SpoolU8(out, header.colorSpace))) return E_FAIL;
  if (language::HasColorTable(header.colorSpace)) {
    if (!ok(SpoolU8(out, header.tableKind))) return E_FAIL;
    if (!ok(SpoolU16BE(out, header.tableCount))) return E_FAIL;
    if (!ok(SpoolU16BE(out, header.tableLength))) return E_FAIL;
    // A table the caller did not supply cannot be sent: the header ends here,
    // as at a failed write.
    if (header.tableData == nullptr && header.tableLength != 0) return E_FAIL;
    if (!ok(SpoolBytes(out, header.tableData, header.tableLength))) return E_FAIL;
  }
  if (!ok(SpoolU8(out, header.dataLayout))) return E_FAIL;
  if (!ok(SpoolU8(out, header.bitsPerComponent))) return E_FAIL;
  if (!ok(SpoolU8(out, header.compression))) return E_FAIL;
  if (!ok(SpoolU32BE(out, header.dataLength))) return E_FAIL;
  return S_OK;
}

void WriteShortImageRecordHeader(const SpoolTarget& out, float originY, uint16_t width, uint16_t height,
                                 const language::FormatDescriptor& descriptor, uint32_t dataLength) {
  Spool(out, language::kRecordLead, sizeof language::kRecordLead);
  SpoolFloatBE(out, originY);
  Spool(out, language::kIdentityTransform, sizeof language::kIdentityTransform);
  SpoolU16BE(out, width);
  SpoolU16BE(out, height);
  Spool(out, descriptor, sizeof descriptor);
  SpoolU32BE(out, dataLength);
}

}  // namespace kav
