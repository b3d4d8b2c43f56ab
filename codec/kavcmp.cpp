// The codec's exported functions: the handle, its buffers and its states.
// Every block is zero-filled global memory, owned by the handle.
#include <cstddef>
#include <cstring>

#include "codec/compress_state.h"
#include "platform/win32.h"

namespace kav {
namespace {

constexpr uint32_t kNoImage = 0;
constexpr uint32_t kImageOpen = 1;
constexpr int32_t kModeRows = 1;
constexpr int kSuccess = 0;
constexpr int kFailure = 1;

template <class T>
T* NewBlock(SIZE_T bytes) {
  return static_cast<T*>(GlobalAlloc(GMEM_ZEROINIT, bytes));
}

void FreeBlock(void* block) {
  if (block != nullptr) GlobalFree(block);
}

// Grows a block kept across images: in place where the allocator can, else
// the old contents are dropped for a fresh block. Null when neither works.
uint8_t* GrowBlock(uint8_t* block, uint32_t capacity, uint32_t bytes) {
  if (capacity == 0) return NewBlock<uint8_t>(bytes);
  if (void* grown = GlobalReAlloc(block, bytes, GMEM_ZEROINIT)) return static_cast<uint8_t*>(grown);
  GlobalFree(block);
  return NewBlock<uint8_t>(bytes);
}

void ReleaseRowBuffers(CompressState& state) {
  FreeBlock(state.seedRow);
  FreeBlock(state.workRow);
  FreeBlock(state.recordBuffer);
  state.seedRow = state.workRow = state.recordBuffer = nullptr;
  state.seedCapacity = state.workCapacity = state.recordCapacity = 0;
}

// The seed and working rows and the record buffer, large enough for rows of
// `rowBytes` bytes; false when one cannot be had.
bool ReserveRowBuffers(CompressState& state, uint32_t rowBytes) {
  const uint32_t rowBlock = RowBlockSize(rowBytes);
  if (rowBlock > state.seedCapacity) {
    state.seedRow = GrowBlock(state.seedRow, state.seedCapacity, rowBlock);
    state.workRow = GrowBlock(state.workRow, state.workCapacity, rowBlock);
    state.seedCapacity = state.seedRow != nullptr ? rowBlock : 0;
    state.workCapacity = state.workRow != nullptr ? rowBlock : 0;
    if (state.seedRow == nullptr || state.workRow == nullptr) return false;
  }
  const uint32_t recordBytes = RecordBufferSize(rowBytes);
  if (recordBytes > state.recordCapacity) {
    state.recordBuffer = GrowBlock(state.recordBuffer, state.recordCapacity, recordBytes);
    state.recordCapacity = state.recordBuffer != nullptr ? recordBytes : 0;
    if (state.recordBuffer == nullptr) return false;
  }
  return true;
}

// Forgets the open image; the row buffers stay for the next one.
bool ResetImage(CompressState* state) {
  if (state == nullptr) return false;
  state->outputStart = nullptr;
  state->blankRun = 0;
  state->outputPos = nullptr;
  state->rowCounter = 0;
  state->widthBits = 0;
  state->rows = 0;
  state->stride = 0;
  return true;
}

// Closes whatever image is open; false when the handle was not in a state
// the codec puts it in, or has lost its inner state.
bool CloseImage(CompressHandle& handle) {
  const bool closed = handle.state == kNoImage || (handle.state == kImageOpen && ResetImage(handle.inner));
  handle.state = kNoImage;
  return closed;
}

void ReleaseOutput(CompressHandle& handle) {
  FreeBlock(handle.output);
  handle.output = nullptr;
  handle.outputCapacity = 0;
  handle.produced = 0;
}

// Room for the output of `count` rows: 2B + 1 bytes a row, a blank-run item
// left pending by the previous call, and the slack of the literal stores.
// Zero when that does not fit the 32-bit sizes of the interface.
uint32_t OutputBlockSize(uint32_t count, uint32_t rowBytes) {
  const uint64_t bytes = uint64_t{count} * (2 * uint64_t{rowBytes} + 1) + kPendingRunBytes + kStoreSlack;
  return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

int OpenImage(CompressHandle& handle, int32_t mode, uint32_t widthBits, uint32_t rows, int32_t stride) {
  if (!CloseImage(handle)) return kFailure;
  if (mode != kModeRows || widthBits == 0 || handle.inner == nullptr) return kFailure;
  CompressState& state = *handle.inner;
  state.widthBits = widthBits;
  state.rows = rows;
  state.stride = stride;
  if (!ReserveRowBuffers(state, RowBytes(state))) {
    ReleaseRowBuffers(state);
    ResetImage(&state);
    return kFailure;
  }
  std::memset(state.seedRow, 0, state.seedCapacity);
  std::memset(state.workRow, 0, state.workCapacity);
  state.blankRun = 0;
  state.outputPos = nullptr;
  state.rowCounter = 0;
  handle.produced = 0;
  handle.delivered = 0;
  handle.state = kImageOpen;
  return kSuccess;
}

int CompressRows(CompressHandle& handle, const uint8_t* source, uint32_t count) {
  if (handle.state != kImageOpen || (source == nullptr && count != 0)) return kFailure;
  handle.delivered = 0;
  if (handle.inner == nullptr) return kFailure;
  CompressState& state = *handle.inner;
  ReleaseOutput(handle);
  const uint32_t rowBytes = RowBytes(state);
  const uint32_t blockSize = OutputBlockSize(count, rowBytes);
  if (blockSize == 0) return kFailure;
  // The block is sized for the worst case, about twice the rows; zeroing it
  // would cost more than coding them. Only bytes the coder wrote are handed out.
  handle.output = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, blockSize));
  if (handle.output == nullptr) return kFailure;
  handle.outputCapacity = blockSize;
  state.outputStart = state.outputPos = handle.output;
  uint32_t produced = 0;
  for (uint32_t row = 0; row < count; ++row) {
    std::memcpy(state.workRow, source + static_cast<ptrdiff_t>(row) * state.stride, rowBytes);
    produced += EncodeRow(state);
  }
  handle.produced = produced;
  return kSuccess;
}

}  // namespace
}  // namespace kav

using kav::kFailure;
using kav::kSuccess;

extern "C" KAV_EXPORT CompressHandle* kavcmp_LoadCompress(void) {
  auto* handle = kav::NewBlock<CompressHandle>(sizeof(CompressHandle));
  if (handle == nullptr) return nullptr;
  handle->inner = kav::NewBlock<kav::CompressState>(sizeof(kav::CompressState));
  if (handle->inner == nullptr) {
    GlobalFree(handle);
    return nullptr;
  }
  return handle;
}

extern "C" KAV_EXPORT int kavcmp_InitBitmap(CompressHandle* handle, int32_t mode, uint32_t widthBits, uint32_t rows,
                                            int32_t stride) {
  if (handle == nullptr) return kFailure;
  return kav::OpenImage(*handle, mode, widthBits, rows, stride);
}

extern "C" KAV_EXPORT int kavcmp_CompressBitmap(CompressHandle* handle, const uint8_t* source, uint32_t count,
                                                uint32_t* outSize) {
  if (handle == nullptr) return kFailure;
  const int result = kav::CompressRows(*handle, source, count);
  if (outSize != nullptr) *outSize = handle->produced - handle->delivered;
  return result;
}

extern "C" KAV_EXPORT int kavcmp_GetBitmap(CompressHandle* handle, uint8_t* destination) {
  if (destination == nullptr || handle == nullptr) return kFailure;
  if (handle->produced > handle->delivered) {
    std::memcpy(destination, handle->output + handle->delivered, handle->produced - handle->delivered);
  }
  handle->delivered = handle->produced;
  return kSuccess;
}

extern "C" KAV_EXPORT int kavcmp_FinishBitmap(CompressHandle* handle) {
  if (handle == nullptr) return kFailure;
  const bool wasOpen = handle->state == kav::kImageOpen;
  const bool closed = kav::CloseImage(*handle);
  return wasOpen && closed ? kSuccess : kFailure;
}

extern "C" KAV_EXPORT int kavcmp_FreeCompress(CompressHandle* handle) {
  if (handle == nullptr) return kSuccess;
  int result = kav::CloseImage(*handle) ? kSuccess : kFailure;
  kav::ReleaseOutput(*handle);
  if (handle->inner != nullptr) {
    kav::ReleaseRowBuffers(*handle->inner);
    GlobalFree(handle->inner);
    handle->inner = nullptr;
  } else {
    result = kFailure;
  }
  GlobalFree(handle);
  return result;
}
