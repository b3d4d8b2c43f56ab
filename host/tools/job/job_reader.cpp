#include "job/job_reader.h"

#include <algorithm>
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

std::string DataCutShort(uint64_t declared, uint64_t held) {
  return "image record data cut short: " + std::to_string(declared) + " bytes declared, the job ends after " +
         std::to_string(held);
}

// The most bytes an item takes before any record data: a record header with
// its extension and the largest colour table. Every command is shorter.
constexpr size_t kLongestItemHead =
    language::kCommonRecordHeaderSize + language::kRecordExtensionSize + language::kRecordTableLeadSize + UINT16_MAX;

// Reads the items of one piece of a job. A piece that is the whole job, or
// its last part, must end after a whole item; a piece that more bytes will
// follow ("more") may end inside one: the reader then stops at its start, or
// for a record whose data goes on, takes the header and the data it has.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size, size_t base, bool more, const std::function<void(const JobItem&)>& onItem)
      : data_(data), size_(size), base_(base), more_(more), onItem_(onItem) {}

  // Reads items up to the end of the piece, the first fault, or an item that
  // the next piece completes; answers the bytes used.
  size_t Run() {
    while (at_ < size_ && ok()) {
      JobItem item;
      const size_t start = at_;
      item.offset = base_ + start;
      if (ReadItem(item)) {
        item.length = at_ - start + dataLeft_;  // a record whose data goes on counts all of it
        if (dataLeft_ == 0) {
          onItem_(item);
        } else {
          openItem_ = item;
        }
      } else if (incomplete_) {
        at_ = start;
        break;
      }
    }
    return at_;
  }

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  size_t errorOffset() const { return errorOffset_; }
  // The data bytes of the last record that the piece did not hold, and
  // that record, which is handed over only once they have come.
  uint64_t dataLeft() const { return dataLeft_; }
  const JobItem& openItem() const { return openItem_; }

 private:
  // `offset` counts from the start of the piece.
  bool Fail(size_t offset, const std::string& message) {
    errorOffset_ = base_ + offset;
    error_ = "byte " + std::to_string(errorOffset_) + ": " + message;
    return false;
  }

  size_t Left() const { return size_ - at_; }

  // Fails unless `count` more bytes are there for the item that began at
  // `start`, or waits for them when more of the job follows.
  bool Need(size_t count, size_t start, const char* what) {
    if (Left() >= count) return true;
    if (more_) {
      incomplete_ = true;
      return false;
    }
    return Fail(start, std::string(what) + " cut short: the job ends at byte " + std::to_string(base_ + size_) +
                           " after " + std::to_string(at_ - start + Left()) + " of its bytes");
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
    // The first three bytes decide what an item is: wait for them while
    // more of the job follows.
    if (more_ && Left() < 3) {
      incomplete_ = true;
      return false;
    }
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
    const size_t start = at_;
    if (!Need(4, start, "Ec command")) return false;
    item.kind = ItemKind::kEc;
    at_ += 2;
    item.colour = U8();
    item.code = U8();
    if (IdsSending(language::kEcCommands, item.code).empty())
      return Fail(start, "Ec command with the unknown code " + ByteText(item.code));
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
        r.tableOffset = base_ + at_;
        at_ += r.tableLength;
      }
      if (!Need(7, start, what)) return false;
      r.dataLayout = U8();
      r.bitsPerComponent = U8();
      r.compression = U8();
      r.dataLength = U32();
    }
    r.dataOffset = base_ + at_;
    if (Left() < r.dataLength && more_) {
      dataLeft_ = r.dataLength - Left();
      at_ = size_;
      return true;
    }
    if (Left() < r.dataLength) return Fail(start, DataCutShort(r.dataLength, Left()));
    at_ += r.dataLength;
    return true;
  }

  const uint8_t* data_;
  size_t size_;
  size_t base_;  // the piece's first byte in the job
  bool more_;
  const std::function<void(const JobItem&)>& onItem_;
  size_t at_ = 0;
  bool incomplete_ = false;
  uint64_t dataLeft_ = 0;
  JobItem openItem_;
  std::string error_;
  size_t errorOffset_ = 0;
};

}  // namespace

bool RecordFields::IdentityTransform() const {
  for (int i = 0; i < 6; ++i) {
    if (transform[i] != language::kIdentityMatrix[i]) return false;
  }
  return true;
}

JobReading ReadJob(const uint8_t* data, size_t size) {
  JobReading reading;
  const std::function<void(const JobItem&)> keep = [&reading](const JobItem& item) { reading.items.push_back(item); };
  Reader reader(data, size, 0, false, keep);
  reader.Run();
  if (!reader.ok()) reading.status = Error{reader.error()};
  reading.errorOffset = reader.errorOffset();
  return reading;
}

JobStreamReader::JobStreamReader(std::function<void(const JobItem&)> onItem) : onItem_(std::move(onItem)) {}

size_t JobStreamReader::ReadPiece(const uint8_t* data, size_t size, bool more) {
  Reader reader(data, size, offset_, more, onItem_);
  const size_t used = reader.Run();
  if (!reader.ok()) error_ = reader.error();
  if (reader.dataLeft() != 0) {
    dataLeft_ = reader.dataLeft();
    openItem_ = reader.openItem();
  }
  offset_ += used;
  return used;
}

void JobStreamReader::Feed(const uint8_t* data, size_t size) {
  while (size > 0 && error_.empty()) {
    size_t used = 0;
    if (dataLeft_ > 0) {  // record data: passed over, never kept
      used = static_cast<size_t>(std::min<uint64_t>(dataLeft_, size));
      dataLeft_ -= used;
      offset_ += used;
      if (dataLeft_ == 0) onItem_(openItem_);
    } else if (head_.empty()) {
      const size_t read = ReadPiece(data, size, true);
      head_.assign(data + read, data + size);  // the start of an item a later piece completes
      used = size;
    } else {
      // The item begun in an earlier piece, completed from this one; an
      // item's head is never longer than kLongestItemHead, so the copy
      // stays small whatever the piece holds.
      const size_t held = head_.size();
      const size_t taken = std::min(size, kLongestItemHead);
      head_.insert(head_.end(), data, data + taken);
      const size_t read = ReadPiece(head_.data(), head_.size(), true);
      if (read >= held) {
        used = read - held;  // what follows the items read is read again from the piece
        head_.clear();
      } else {
        used = taken;  // the next item starts in the head: all of it stays there
        head_.erase(head_.begin(), head_.begin() + static_cast<std::ptrdiff_t>(read));
      }
    }
    data += used;
    size -= used;
  }
}

Status JobStreamReader::Finish() {
  if (error_.empty() && dataLeft_ > 0) {
    const uint32_t declared = openItem_.record.dataLength;
    error_ = "byte " + std::to_string(openItem_.offset) + ": " + DataCutShort(declared, declared - dataLeft_);
  }
  if (error_.empty()) {
    const std::vector<uint8_t> last = std::move(head_);
    head_.clear();
    ReadPiece(last.data(), last.size(), false);
  }
  if (error_.empty()) return {};
  return Error{error_};
}

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
