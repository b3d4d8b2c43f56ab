#include "render/image_record.h"

#include <bit>

namespace kav {
namespace {

HRESULT Spool(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, const uint8_t* bytes, DWORD count) {
  DWORD written = 0;
  return helper->DrvWriteSpoolBuf(pdevobj, const_cast<uint8_t*>(bytes), count, &written);
}

}  // namespace

HRESULT SpoolU8(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, uint32_t value) {
  const uint8_t bytes[1] = {static_cast<uint8_t>(value)};
  return Spool(helper, pdevobj, bytes, 1);
}

HRESULT SpoolU16BE(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, uint32_t value) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return Spool(helper, pdevobj, bytes, 2);
}

HRESULT SpoolU32BE(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return Spool(helper, pdevobj, bytes, 4);
}

HRESULT SpoolFloatBE(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, float value) {
  return SpoolU32BE(helper, pdevobj, std::bit_cast<uint32_t>(value));
}

HRESULT SpoolBytes(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, const void* bytes, DWORD count) {
  return Spool(helper, pdevobj, static_cast<const uint8_t*>(bytes), count);
}

HRESULT WriteImageRecordHeader(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, const ImageRecordHeader& header) {
  // Each step is one write; the first failure ends the header.
  auto ok = [](HRESULT hr) { return SUCCEEDED(hr); };
  if (!ok(SpoolBytes(helper, pdevobj, language::kRecordSignature, sizeof language::kRecordSignature))) return E_FAIL;
  if (!ok(SpoolFloatBE(helper, pdevobj, header.originX))) return E_FAIL;
  if (!ok(SpoolFloatBE(helper, pdevobj, header.originY))) return E_FAIL;
  for (float t : header.transform) {
    if (!ok(SpoolFloatBE(helper, pdevobj, t))) return E_FAIL;
  }
  if (!ok(SpoolU16BE(helper, pdevobj, header.width))) return E_FAIL;
  if (!ok(SpoolU16BE(helper, pdevobj, header.height))) return E_FAIL;
  if (!ok(SpoolU8(helper, pdevobj, header.extKind))) return E_FAIL;
  if (header.extKind == language::kExtensionFollows) {
    if (!ok(SpoolU8(helper, pdevobj, header.extCode))) return E_FAIL;
    if (!ok(SpoolU32BE(helper, pdevobj, header.extValue))) return E_FAIL;
  }
  if (!ok(SpoolU8(helper, pdevobj, header.formatKind))) return E_FAIL;
  if (header.formatKind != language::kFormatBlockFollows) return S_OK;
  if (!ok(SpoolU8(helper, pdevobj, header.colorSpace))) return E_FAIL;
  if (language::HasColorTable(header.colorSpace)) {
    if (!ok(SpoolU8(helper, pdevobj, header.tableKind))) return E_FAIL;
    if (!ok(SpoolU16BE(helper, pdevobj, header.tableCount))) return E_FAIL;
    if (!ok(SpoolU16BE(helper, pdevobj, header.tableLength))) return E_FAIL;
    // A table the caller did not supply cannot be sent: the header ends here,
    // as at a failed write.
    if (header.tableData == nullptr && header.tableLength != 0) return E_FAIL;
    if (!ok(SpoolBytes(helper, pdevobj, header.tableData, header.tableLength))) return E_FAIL;
  }
  if (!ok(SpoolU8(helper, pdevobj, header.dataLayout))) return E_FAIL;
  if (!ok(SpoolU8(helper, pdevobj, header.bitsPerComponent))) return E_FAIL;
  if (!ok(SpoolU8(helper, pdevobj, header.compression))) return E_FAIL;
  if (!ok(SpoolU32BE(helper, pdevobj, header.dataLength))) return E_FAIL;
  return S_OK;
}

void WriteShortImageRecordHeader(IPrintOemDriverUni* helper, PDEVOBJ pdevobj, float originY, uint16_t width,
                                 uint16_t height, const language::FormatDescriptor& descriptor, uint32_t dataLength) {
  Spool(helper, pdevobj, language::kRecordLead, sizeof language::kRecordLead);
  SpoolFloatBE(helper, pdevobj, originY);
  Spool(helper, pdevobj, language::kIdentityTransform, sizeof language::kIdentityTransform);
  SpoolU16BE(helper, pdevobj, width);
  SpoolU16BE(helper, pdevobj, height);
  Spool(helper, pdevobj, descriptor, sizeof descriptor);
  SpoolU32BE(helper, pdevobj, dataLength);
}

}  // namespace kav
