#include "job/job_reader.h"

#include <charconv>
#include <cstring>

namespace kav::tools {
namespace {

struct CodeId {
  uint8_t code;
  const char* ids;
};

// The code bytes of the single form and the callback ids that send them.
constexpr CodeId kSingleCodes[] = {
    {0x03, "220"},
    {0x07, "221"},
    {0x05, "222"},
    {0x0B, "223"},
    {0x09, "224"},
    {0x0F, "225"},
    {0x0D, "226"},
    {0x2B, "227"},
    {0x25, "228"},
    {0x27, "229"},
    {0x23, "230"},
    {0x2D, "231"},
    {0x21, "232"},
    {0x17, "233"},
    {0x2F, "234"},
    {0x31, "235"},
    {0x3D, "236"},
    {0x1F, "237"},
    {0x5F, "238"},
    {0x61, "239"},
    {0x67, "240"},
    {0x3F, "241"},
    {0x63, "245"},
    {0x47, "246"},
    {0x49, "247"},
    {0x69, "300"},
    {0x6B, "301"},
    {0x6D, "302"},
    {0x6F, "303"},
    {0x5D, "304"},
    {0x55, "305"},
    {0x19, "306"},
    {0x53, "307"},
    {0x3B, "308"},
    {0x79, "309"},
    {0x33, "310"},
    {0x35, "311"},
    {0x37, "312"},
    {0x45, "313"},
    {0x73, "314"},
    {0x75, "315"},
    {0x77, "316"},
    {0x57, "317"},
    {0x59, "318"},
    {0x4B, "319"},
    {0x4D, "320"},
    {0x5B, "321"},
    {0x15, "322"},
    {0x51, "248 or 323 to 328"},
};

// The code bytes of the Ec form.
constexpr CodeId kEcCodes[] = {
    {0x00, "200"},        {0x02, "201"},        {0x03, "203"}, {0x14, "204"}, {0x15, "205"}, {0x16, "206"},
    {0x04, "207 or 209"}, {0x05, "208 or 210"}, {0x01, "211"}, {0x0A, "212"}, {0x0B, "213"},
};

constexpr uint8_t kPaperCode = 0x51;

template <size_t N>
const char* FindIds(const CodeId (&table)[N], uint8_t code) {
  for (const CodeId& entry : table) {
    if (entry.code == code) return entry.ids;
  }
  return nullptr;
}

std::string Hex2(uint8_t value) {
  const char* digits = "0123456789abcdef";
  return std::string("0x") + digits[value >> 4] + digits[value & 15];
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  JobReading Run() {
    while (at_ < size_ && reading_.ok) {
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
    reading_.ok = false;
    reading_.errorOffset = offset;
    reading_.error = "byte " + std::to_string(offset) + ": " + message;
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
    if (lead == 0x43) return ReadRecord(item);
    if (lead == 0x41) return ReadPlacement(item);
    if (lead == 0x46) return ReadFixed(item, ItemKind::kFbed, "FBED");
    // 'E' starts "Ec" and "EB", and is also the code of id 313. Colour bytes
    // 1 and 2 and the letter B are no command of their own, so the byte after
    // "Ec" or the letter B decides.
    if (lead == 0x45 && next == 0x42) return ReadFixed(item, ItemKind::kEndPage, "EB");
    if (lead == 0x45 && next == 0x63 && (Left() < 3 || data_[at_ + 2] == 1 || data_[at_ + 2] == 2)) {
      return ReadEc(item);
    }
    if (lead == kPaperCode) return ReadPaper(item);
    if (FindIds(kSingleCodes, lead) != nullptr) {
      item.kind = ItemKind::kCode;
      item.code = U8();
      return true;
    }
    return Fail(at_, "the byte " + Hex2(lead) + " is no command the plug-in sends");
  }

  bool ReadFixed(JobItem& item, ItemKind kind, const char* text) {
    const size_t length = std::strlen(text);
    if (!Need(length, at_, text)) return false;
    if (std::memcmp(data_ + at_, text, length) != 0) {
      return Fail(at_, std::string("the byte ") + Hex2(data_[at_]) + " starts no command the plug-in sends (\"" + text +
                           "\" expected)");
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
    if (FindIds(kEcCodes, item.code) == nullptr)
      return Fail(item.offset, "Ec command with the unknown code " + Hex2(item.code));
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
    if (Left() >= 2 && data_[at_ + 1] != 0x61) {
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
    if (data_[at_ + 1] != 0x71) return Fail(at_, "the byte 0x43 starts no command the plug-in sends (\"Cq\" expected)");
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
      if (!Need(5, start, what)) return false;
      r.extCode = U8();
      r.extValue = U32();
    }
    if (!Need(1, start, what)) return false;
    r.formatKind = U8();
    if (r.HasFormat()) {
      if (!Need(1, start, what)) return false;
      r.colorSpace = U8();
      if (r.HasTable()) {
        if (!Need(5, start, what)) return false;
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
  static constexpr float kIdentity[6] = {1, 0, 0, 1, 0, 0};
  for (int i = 0; i < 6; ++i) {
    if (transform[i] != kIdentity[i]) return false;
  }
  return true;
}

JobReading ReadJob(const uint8_t* data, size_t size) { return Reader(data, size).Run(); }

std::string SingleCodeIds(uint8_t code) {
  const char* ids = FindIds(kSingleCodes, code);
  return ids == nullptr ? std::string() : ids;
}

std::string EcCodeIds(uint8_t code) {
  const char* ids = FindIds(kEcCodes, code);
  return ids == nullptr ? std::string() : ids;
}

std::string RecordKindName(const RecordFields& r) {
  if (!r.HasFormat()) return "without format block";
  if (r.colorSpace == 3 && r.bitsPerComponent == 1 && r.compression == 7) return "1-bit compressed";
  if (r.colorSpace == 3 && r.bitsPerComponent == 1 && r.compression == 1) return "1-bit raw";
  if (r.colorSpace == 3 && r.bitsPerComponent == 8 && r.compression == 1) return "gray raw";
  if (r.colorSpace == 3 && r.bitsPerComponent == 8 && r.compression == 7) return "gray compressed";
  if (r.colorSpace == 4 && r.bitsPerComponent == 8 && r.compression == 1) return "colour raw";
  if (r.colorSpace == 5 && r.compression == 4) return "JPEG";
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
