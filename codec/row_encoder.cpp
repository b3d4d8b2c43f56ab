// One row into the stream: blank rows gather into runs, a row equal to the
// seed becomes a repeat byte, any other row a changed-row item of replacement
// records against the seed. The row is scanned 64 bytes at a time, and the
// records are walked from bit masks of the changed bytes.
#include <bit>
#include <cstring>
#include <utility>

#include "codec/compress_state.h"
#include "codec/row_scan.h"
#include "codec/stream_format.h"

namespace kav {
namespace {

using stream::kBlankRunItem;
using stream::kCountContinues;
using stream::kOffsetEscape;
using stream::kRepeatItem;

constexpr uint32_t kMaxLiterals = 8;

// Clears the bits beyond the width in the row's last byte.
void MaskLastByte(const CompressState& state, uint8_t* row, uint32_t rowBytes) {
  const uint32_t unusedBits = rowBytes * 8 - state.widthBits;
  row[rowBytes - 1] &= static_cast<uint8_t>(0xFF << unusedBits);
}

bool IsBlankRow(const uint8_t* row, uint32_t scanEnd) {
  for (uint32_t base = 0; base < scanEnd; base += kScanBlock) {
    if (scan::active::AnyNonZero(row + base)) return false;
  }
  return true;
}

// A count as bytes of 255 followed by the remainder below 255: the form of
// the length prefix and of the offset extension.
uint8_t* WriteContinuedCount(uint8_t* out, uint32_t value) {
  for (; value >= kCountContinues; value -= kCountContinues) *out++ = 0xFF;
  *out++ = static_cast<uint8_t>(value);
  return out;
}

uint8_t* WriteBlankRun(uint8_t* out, uint32_t runLength) {
  out[0] = kBlankRunItem;
  out[1] = static_cast<uint8_t>(runLength - 1);
  return out + 2;
}

// A record's command byte and offset extension. Offsets below 286 need at
// most one extension byte, written without a branch: it is stored either way
// and the literals overwrite it when it is not wanted.
uint8_t* WriteRecordHead(uint8_t* out, uint32_t count, uint32_t gap) {
  const auto countBits = static_cast<uint8_t>((count - 1) << 5);
  if (gap < kOffsetEscape + kCountContinues) [[likely]] {
    const bool escaped = gap >= kOffsetEscape;
    out[0] = static_cast<uint8_t>(countBits | (escaped ? kOffsetEscape : gap));
    out[1] = static_cast<uint8_t>(gap - kOffsetEscape);
    return out + 1 + (escaped ? 1 : 0);
  }
  *out++ = static_cast<uint8_t>(countBits | kOffsetEscape);
  return WriteContinuedCount(out, gap - kOffsetEscape);
}

// The records for the changed bytes [start, end), `gap` unchanged bytes after
// the previous record: pieces of up to eight literals, each later piece
// following its predecessor directly. Literals are stored eight at a time;
// the buffer has the slack for it.
uint8_t* WriteRun(uint8_t* out, const uint8_t* row, uint32_t start, uint32_t end, uint32_t gap) {
  const uint8_t* literals = row + start;
  uint32_t remaining = end - start;
  uint32_t count = remaining < kMaxLiterals ? remaining : kMaxLiterals;
  out = WriteRecordHead(out, count, gap);
  for (;;) {
    std::memcpy(out, literals, kMaxLiterals);
    out += count;
    remaining -= count;
    if (remaining == 0) return out;
    literals += count;
    count = remaining < kMaxLiterals ? remaining : kMaxLiterals;
    *out++ = static_cast<uint8_t>((count - 1) << 5);
  }
}

// Assembles the replacement records that turn `seed` into `row` and answers
// their length; 0 when the rows are equal. Both rows are whole scan blocks
// with a spare all-zero block after the row, so every run of changed bytes
// ends inside the blocks read.
uint32_t BuildRecords(const uint8_t* row, const uint8_t* seed, uint32_t scanEnd, uint8_t* records) {
  uint8_t* out = records;
  uint32_t position = 0;  // just after the last byte replaced
  uint32_t base = 0;
  uint64_t changed = scan::active::ChangedBits(row, seed);
  for (;;) {
    while (changed == 0) {
      base += kScanBlock;
      if (base >= scanEnd) return static_cast<uint32_t>(out - records);
      changed = scan::active::ChangedBits(row + base, seed + base);
    }
    const unsigned startBit = static_cast<unsigned>(std::countr_zero(changed));
    const uint32_t start = base + startBit;
    uint64_t same = ~changed & (~uint64_t{0} << startBit);
    while (same == 0) {
      base += kScanBlock;
      changed = scan::active::ChangedBits(row + base, seed + base);
      same = ~changed;
    }
    const unsigned endBit = static_cast<unsigned>(std::countr_zero(same));
    const uint32_t end = base + endBit;
    changed &= ~uint64_t{0} << endBit;
    out = WriteRun(out, row, start, end, start - position);
    position = end;
  }
}

}  // namespace

uint32_t EncodeRow(CompressState& state) {
  const uint32_t rowBytes = RowBytes(state);
  const uint32_t scanEnd = RowBlockSize(rowBytes) - kScanBlock;
  MaskLastByte(state, state.workRow, rowBytes);
  const bool lastRow = state.rowCounter + 1 == state.rows;
  ++state.rowCounter;
  uint8_t* const start = state.outputPos;
  uint8_t* out = start;

  if (IsBlankRow(state.workRow, scanEnd)) {
    const int32_t before = state.blankRun++;
    // The run's first row makes the seed all zeros, as a reader's seed
    // becomes on the blank-run item.
    if (before == 0) std::swap(state.seedRow, state.workRow);
    if (lastRow || state.blankRun == kMaxBlankRun) {
      out = WriteBlankRun(out, static_cast<uint32_t>(state.blankRun));
      state.blankRun = 0;
    }
    state.outputPos = out;
    return static_cast<uint32_t>(out - start);
  }

  if (state.blankRun != 0) {
    out = WriteBlankRun(out, static_cast<uint32_t>(state.blankRun));
    state.blankRun = 0;
  }
  const uint32_t length = BuildRecords(state.workRow, state.seedRow, scanEnd, state.recordBuffer);
  if (length == 0) {
    *out++ = kRepeatItem;
  } else {
    out = WriteContinuedCount(out, length);
    std::memcpy(out, state.recordBuffer, length);
    out += length;
    std::swap(state.seedRow, state.workRow);
  }
  state.outputPos = out;
  return static_cast<uint32_t>(out - start);
}

}  // namespace kav
