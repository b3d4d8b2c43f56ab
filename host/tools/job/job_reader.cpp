#include "job/job_reader.h"

#include <charconv>
#include <cstring>

#include "render/printer_language.h"
#include "support/hex.h"

namespace kav::tools {
namespace {

// The callback ids whose command sends `code` in `table`, as "227", "207 or
// 209" or "248 or 323 to 328"; empty when none does.
template <typename Command, size_t count>
std::string IdsSending(const Command (&table)[count], uint8_t code) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (table[i].code != code) continue;
    size_t last = i;  // a run of consecutive ids reads as "from to last"
    while (last + 1 < count && table[last + 1].code == code && table[last + 1].id == table[last].id + 1) ++last;
    if (!text.empty()) text += " or ";
    text += std::to_string(table[i].id);
    if (last > i + 1) text += " to " + std::to_string(table[last].id);
    if (last == i + 1) text += " or " + std::to_string(table[last].id);
    i = last;
  }
  return text;
}

bool IsSingleCode(uint8_t code) { return !IdsSending(language::kSingleCommands, code).empty(); }

// The fixed strings of the page start and end.
constexpr std::string_view kPageStart = language::FindCommand(language::kFixedCommands, language::kPageStartId)->bytes;
constexpr std::string_view kPageEnd = language::FindCommand(language::kFixedCommands, language::kPageEndId)->bytes;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  JobReading Run() {
    while (at_ < size_ && reading_.status.ok()) {
      JobItem item;
      item.offset = at_;
      if (ReadItem(item)) {
        item.length = at_ - item.offset;
        reading_.items.push_back(item);
      }
    }
    return std::move(reading_);
  }

 private:
  bool Fail(size_t offset, const std::string& message) {
    reading_.errorOffset = offset;
    reading_.status = Error{"byte " + std::to_string(offset) + ": " + message};
    return false;
  }

  size_t Left() const { return size_ - at_; }

  // Fails unless `count` more bytes are there for the item that began at `start`.
  bool Need(size_t count, size_t start, const char* what) {
    if (Left() >= count) return true;
    return Fail(start, std::string(what) + " cut short: the job ends at byte " + std::to_string(size_) + " after " +
                           std::to_string(at_ - start + Left()) + " of its bytes");
  }

  uint8_t U8() { return data_[at_++]; }
  uint16_t U16() {
    const uint16_t value = static_cast<uint16_t>((data_[at_] << 8) | data_[at_ + 1]);
    at_ += 2;
    return value;
  }
  uint32_t U32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | data_[at_++];
    return value;
  }
  float F32() {
    const uint32_t bits = U32();
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  bool ReadItem(JobItem& item) {
    const uint8_t lead = data_[at_];
    const uint8_t next = Left() >= 2 ? data_[at_ + 1] : 0;
    if (lead == language::kRecordSignature[0]) return ReadRecord(item);
    if (lead == language::kPagePlacementLead[0]) return ReadPlacement(item);
    if (lead == kPageStart[0]) return ReadFixed(item, ItemKind::kFbed, kPageStart);
    // 'E' starts "Ec" and "EB", and is also the code of id 313. Colour bytes
    // 1 and 2 and the letter B are no command of their own, so the byte after
    // "Ec" or the letter B decides.
    if (lead == kPageEnd[0] && next == kPageEnd[1]) return ReadFixed(item, ItemKind::kEndPage, kPageEnd);
    const uint8_t colour = Left() >= 3 ? data_[at_ + 2] : 0;
    if (lead == language::kEcLead[0] && next == language::kEcLead[1] &&
        (Left() < 3 || colour == language::kColorByteMonochrome || colour == language::kColorByteColor)) {
      return ReadEc(item);
    }
    if (lead == language::kSheetSizeCode) return ReadPaper(item);
    if (IsSingleCode(lead)) {
      item.kind = ItemKind::kCode;
      item.code = U8();
      return true;
    }
    return Fail(at_, "the byte " + ByteText(lead) + " is no command the plug-in sends");
  }

  bool ReadFixed(JobItem& item, ItemKind kind, std::string_view text) {
    const size_t length = text.size();
    const std::string name(text);
    if (!Need(length, at_, name.c_str())) return false;
    if (std::memcmp(data_ + at_, text.data(), length) != 0) {
      return Fail(
          at_, "the byte " + ByteText(data_[at_]) + " starts no command the plug-in sends (\"" + name + "\" expected)");
    }
    item.kind = kind;
    at_ += length;
    return true;
  }

  bool ReadEc(JobItem& item) {
    if (!Need(4, at_, "Ec command")) return false;
    item.kind = ItemKind::kEc;
    at_ += 2;
    item.colour = U8();
    item.code = U8();
    if (IdsSending(language::kEcCommands, item.code).empty())
      return Fail(item.offset, "Ec command with the unknown code " + ByteText(item.code));
    return true;
  }

  bool ReadPaper(JobItem& item) {
    if (!Need(9, at_, "paper size command (0x51 and two sizes)")) return false;
    item.kind = ItemKind::kPaper;
    item.code = U8();
    item.values[0] = F32();
    item.values[1] = F32();
    return true;
  }

  bool ReadPlacement(JobItem& item) {
    if (Left() >= 2 && data_[at_ + 1] != language::kPagePlacementLead[1]) {
      return Fail(at_, "the byte 0x41 starts no command the plug-in sends (\"Aa\" expected)");
    }
    if (!Need(26, at_, "page placement (\"Aa\" and six numbers)")) return false;
    item.kind = ItemKind::kPlacement;
    at_ += 2;
    for (float& value : item.values) value = F32();
    return true;
  }

  bool ReadRecord(JobItem& item) {
    const size_t start = at_;
    const char* what = "image record header";
    if (!Need(2, start, what)) return false;
    if (data_[at_ + 1] != language::kRecordSignature[1])
      return Fail(at_, "the byte 0x43 starts no command the plug-in sends (\"Cq\" expected)");
    item.kind = ItemKind::kRecord;
    RecordFields& r = item.record;
    at_ += 2;
    if (!Need(37, start, what)) return false;
    r.originX = F32();
    r.originY = F32();
    for (float& t : r.transform) t = F32();
    r.width = U16();
    r.height = U16();
    r.extKind = U8();
    if (r.HasExtension()) {
      if (!Need(language::kRecordExtensionSize, start, what)) return false;
      r.extCode = U8();
      r.extValue = U32();
    }
    if (!Need(1, start, what)) return false;
    r.formatKind = U8();
    if (r.HasFormat()) {
      if (!Need(1, start, what)) return false;
      r.colorSpace = U8();
      if (r.HasTable()) {
        if (!Need(language::kRecordTableLeadSize, start, what)) return false;
        r.tableKind = U8();
        r.tableCount = U16();
        r.tableLength = U16();
        if (!Need(r.tableLength, start, what)) return false;
        r.tableOffset = at_;
        at_ += r.tableLength;
      }
      if (!Need(7, start, what)) return false;
      r.dataLayout = U8();
      r.bitsPerComponent = U8();
      r.compression = U8();
      r.dataLength = U32();
    }
    r.dataOffset = at_;
    if (Left() < r.dataLength) {
      return Fail(start, "image record data cut short: " + std::to_string(r.dataLength) +
                             " bytes declared, the job ends after " + std::to_string(Left()));
    }
    at_ += r.dataLength;
    return true;
  }

  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  JobReading reading_;
};

}  // namespace

bool RecordFields::IdentityTransform() const {
  for (int i = 0; i < 6; ++i) {
    if (transform[i] != language::kIdentityMatrix[i]) return false;
  }
  return true;
}

JobReading ReadJob(const uint8_t* data, size_t size) { return Reader(data, size).Run(); }

std::string SingleCodeIds(uint8_t code) { return IdsSending(language::kSingleCommands, code); }

std::string EcCodeIds(uint8_t code) { return IdsSending(language::kEcCommands, code); }

std::string RecordKindName(const RecordFields& r) {
  if (!r.HasFormat()) return "without format block";
  using namespace language;
  const bool gray = r.colorSpace == kColorSpaceGray;
  if (gray && r.bitsPerComponent == 1 && r.compression == kCompressionRows) return "1-bit compressed";
  if (gray && r.bitsPerComponent == 1 && r.compression == kCompressionNone) return "1-bit raw";
  if (gray && r.bitsPerComponent == 8 && r.compression == kCompressionNone) return "gray raw";
  if (gray && r.bitsPerComponent == 8 && r.compression == kCompressionRows) return "gray compressed";
  if (r.colorSpace == kColorSpaceRgb && r.bitsPerComponent == 8 && r.compression == kCompressionNone) {
    return "colour raw";
  }
  if (r.colorSpace == kColorSpaceJpeg && r.compression == kCompressionJpeg) return "JPEG";
  return "colour space " + std::to_string(r.colorSpace) + ", " + std::to_string(r.bitsPerComponent) +
         " bits, compression " + std::to_string(r.compression);
}

const char* ItemKindName(ItemKind kind) {
  switch (kind) {
    case ItemKind::kEc:
      return "Ec";
    case ItemKind::kCode:
      return "code";
    case ItemKind::kPaper:
      return "paper";
    case ItemKind::kPlacement:
      return "Aa";
    case ItemKind::kFbed:
      return "FBED";
    case ItemKind::kEndPage:
      return "EB";
    case ItemKind::kRecord:
      return "Cq";
  }
  return "?";
}

std::string FloatText(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace kav::tools
