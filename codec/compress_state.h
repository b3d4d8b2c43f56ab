// The codec's handle and the coder's state behind it.
#pragma once

#include <cstdint>

#include "kavcmp.h"

namespace kav {

// Row blocks are whole 64-byte scan blocks plus one spare block, all zero
// beyond the row: scans read whole blocks, and a run of changed bytes always
// meets an unchanged byte before the block's end.
inline constexpr uint32_t kScanBlock = 64;
// Literal bytes are stored eight at a time: a buffer receiving them has this
// many spare bytes beyond what the coder can put in it.
inline constexpr uint32_t kStoreSlack = 8;
// A call may first write the blank-run item of rows left over from the
// previous call, which its own rows do not pay for.
inline constexpr uint32_t kPendingRunBytes = 2;
inline constexpr uint32_t kMaxBlankRun = 256;

struct CompressState {
  uint32_t seedCapacity;    // size of the seed row block
  uint8_t* seedRow;         // the row the next row is coded against
  uint32_t workCapacity;    // size of the working row block
  uint8_t* workRow;         // the row being coded, copied from the source
  uint32_t recordCapacity;  // size of the record buffer
  uint8_t* recordBuffer;    // one changed row's records, before their length is known
  uint8_t* outputStart;     // the output block of the current call
  int32_t blankRun;         // blank rows seen and not yet written
  uint8_t* outputPos;       // where the next stream byte goes
  uint32_t rowCounter;      // rows coded since the image was opened
  uint32_t widthBits;       // W
  uint32_t rows;            // declared row count R
  int32_t stride;           // bytes between the starts of two source rows
};

// Row length B in bytes.
inline uint32_t RowBytes(const CompressState& state) {
  return static_cast<uint32_t>((uint64_t{state.widthBits} + 7) >> 3);
}
// Size of the seed and working row blocks for rows of `rowBytes` bytes.
inline uint32_t RowBlockSize(uint32_t rowBytes) {
  return (rowBytes + kScanBlock - 1) / kScanBlock * kScanBlock + kScanBlock;
}
// Size of the record buffer: a changed row's records never reach 2B + 1 bytes.
inline uint32_t RecordBufferSize(uint32_t rowBytes) { return 2 * rowBytes + 1 + kStoreSlack; }

// Codes the row held in `state.workRow` (B bytes, the rest of its block zero)
// at `state.outputPos` and answers the number of bytes written, including a
// blank-run item flushed for earlier rows. The caller provides 2B + 1 bytes of
// output per row, plus kPendingRunBytes once per call.
uint32_t EncodeRow(CompressState& state);

}  // namespace kav

// Fields in the order the interface describes them.
struct CompressHandle {
  uint32_t state;  // 0: no image open; 1: an image open
  kav::CompressState* inner;
  uint32_t produced;        // bytes the last kavcmp_CompressBitmap put into the output block
  uint32_t outputCapacity;  // size of the output block, 0 when there is none
  uint32_t delivered;       // bytes of the output block already copied out
  uint8_t* output;
};
