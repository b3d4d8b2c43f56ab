// The row codec's stream read back into rows, for the tests, the fuzzers and
// the job reader; every item is checked against the stream's end and the row.
#include <algorithm>
#include <cstring>
#include <string>

#include "codec/stream_format.h"
#include "kavcmp_decoder.h"

namespace kav {
namespace {

using stream::kBlankRunItem;
using stream::kCountContinues;
using stream::kOffsetEscape;
using stream::kRepeatItem;

// Bytes of one item or of one changed row's records, read with their end
// always in view.
class ByteReader {
 public:
  ByteReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  size_t offset() const { return offset_; }
  size_t left() const { return size_ - offset_; }
  bool AtEnd() const { return offset_ == size_; }
  const uint8_t* here() const { return bytes_ + offset_; }
  void Skip(size_t count) { offset_ += count; }

  bool ReadByte(uint8_t& value) {
    if (AtEnd()) return false;
    value = bytes_[offset_++];
    return true;
  }

  // Bytes of 255 added up to the first byte below 255, which ends the count.
  bool ReadContinuedCount(size_t& value) {
    value = 0;
    uint8_t byte;
    do {
      if (!ReadByte(byte)) return false;
      value += byte;
    } while (byte == kCountContinues);
    return true;
  }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t offset_ = 0;
};

// Applies one changed row's replacement records to the seed row; on a
// malformed record answers false with `error` saying what is wrong.
bool ApplyRecords(ByteReader records, std::vector<uint8_t>& seed, std::string& error) {
  const size_t rowBytes = seed.size();
  size_t column = 0;  // just after the last byte replaced
  while (!records.AtEnd()) {
    const size_t recordOffset = records.offset();
    uint8_t command = 0;
    records.ReadByte(command);
    const size_t count = (command >> 5) + 1u;
    size_t offset = command & 0x1F;
    if (offset == kOffsetEscape) {
      size_t extension = 0;
      if (!records.ReadContinuedCount(extension)) {
        error = "the offset extension of the record at byte " + std::to_string(recordOffset) +
                " of the records is cut short by the item's end";
        return false;
      }
      offset += extension;
    }
    if (offset > rowBytes - column || count > rowBytes - column - offset) {
      error = "the record at byte " + std::to_string(recordOffset) + " of the records replaces " +
              std::to_string(count) + " bytes at row byte " + std::to_string(column + std::min(offset, rowBytes)) +
              ", past the row of " + std::to_string(rowBytes) + " bytes";
      return false;
    }
    if (count > records.left()) {
      error = "the record at byte " + std::to_string(recordOffset) + " of the records has " +
              std::to_string(records.left()) + " of its " + std::to_string(count) + " literal bytes";
      return false;
    }
    std::memcpy(seed.data() + column + offset, records.here(), count);
    records.Skip(count);
    column += offset + count;
  }
  return true;
}

// The rows described so far and the seed row they leave behind.
class RowWriter {
 public:
  RowWriter(uint32_t rowBytes, uint32_t rows, std::vector<uint8_t>& image)
      : rowBytes_(rowBytes), rows_(rows), image_(image), seed_(rowBytes, 0) {
    image_.assign(size_t{rows} * rowBytes, 0);
  }

  uint32_t row() const { return row_; }

  // Reads the item at the reader's position; an empty answer when it was
  // sound, else what is wrong with it.
  std::string ReadItem(ByteReader& reader) {
    const uint8_t kind = *reader.here();
    const uint32_t described = kind == kBlankRunItem && reader.left() >= 2 ? reader.here()[1] + 1u : 1u;
    if (kind == kBlankRunItem && reader.left() < 2) return "the blank-run item is cut short by the end of the stream";
    if (described > rows_ - row_) {
      return "the item describes rows " + std::to_string(row_) + " to " +
             std::to_string(uint64_t{row_} + described - 1) + ", beyond the " + std::to_string(rows_) +
             " rows declared";
    }
    if (kind == kBlankRunItem) {
      reader.Skip(2);
      std::fill(seed_.begin(), seed_.end(), uint8_t{0});
      row_ += described;
      return {};
    }
    if (kind == kRepeatItem) {
      reader.Skip(1);
    } else if (std::string error = ReadChangedRow(reader); !error.empty()) {
      return error;
    }
    if (rowBytes_ != 0) std::memcpy(image_.data() + size_t{row_} * rowBytes_, seed_.data(), rowBytes_);
    ++row_;
    return {};
  }

 private:
  std::string ReadChangedRow(ByteReader& reader) {
    size_t length = 0;
    if (!reader.ReadContinuedCount(length)) {
      return "the length prefix of the changed-row item is cut short by the end of the stream";
    }
    if (length > reader.left()) {
      return "the changed-row item's " + std::to_string(length) + " record bytes run past the end of the stream (" +
             std::to_string(reader.left()) + " left)";
    }
    std::string error;
    if (!ApplyRecords(ByteReader(reader.here(), length), seed_, error)) return error;
    reader.Skip(length);
    return {};
  }

  uint32_t rowBytes_;
  uint32_t rows_;
  std::vector<uint8_t>& image_;
  std::vector<uint8_t> seed_;
  uint32_t row_ = 0;
};

}  // namespace

StreamDecodeResult DecodeRowStream(const uint8_t* stream, size_t size, uint32_t rowBytes, uint32_t rows,
                                   std::vector<uint8_t>& image) {
  RowWriter writer(rowBytes, rows, image);
  ByteReader reader(stream, stream == nullptr ? 0 : size);
  StreamDecodeResult result;
  while (!reader.AtEnd()) {
    const size_t itemOffset = reader.offset();
    const std::string error = writer.ReadItem(reader);
    if (!error.empty()) {
      result.rowsDecoded = writer.row();
      result.errorOffset = itemOffset;
      result.error = "row stream item at offset " + std::to_string(itemOffset) + ": " + error;
      return result;
    }
  }
  result.ok = true;
  result.rowsDecoded = writer.row();
  return result;
}

}  // namespace kav
