// Stand-ins for the global-memory and process-heap services. A block carries
// its size in a header in front of it, so it can be grown and measured.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "failure_plan.h"

namespace {

struct alignas(16) BlockHeader {
  SIZE_T size;
};

kav::standin::ArmedFailure globalFailure;
kav::standin::ArmedFailure heapFailure;
std::atomic<long> liveGlobal{0};
std::atomic<long> liveHeap{0};

BlockHeader* HeaderOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

void* NewBlock(SIZE_T bytes, bool zeroed) {
  if (bytes > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
  auto* header = static_cast<BlockHeader*>(zeroed ? std::calloc(1, sizeof(BlockHeader) + bytes)
                                                  : std::malloc(sizeof(BlockHeader) + bytes));
  if (header == nullptr) return nullptr;
  header->size = bytes;
  return header + 1;
}

}  // namespace

extern "C" {

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  if (globalFailure.NextCallFails()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* block = NewBlock(bytes, (flags & GMEM_ZEROINIT) != 0);
  if (block == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  ++liveGlobal;
  return block;
}

HGLOBAL GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags) {
  if (block == nullptr || bytes > SIZE_MAX - sizeof(BlockHeader) || globalFailure.NextCallFails()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const SIZE_T oldSize = HeaderOf(block)->size;
  auto* header = static_cast<BlockHeader*>(std::realloc(HeaderOf(block), sizeof(BlockHeader) + bytes));
  if (header == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  header->size = bytes;
  if ((flags & GMEM_ZEROINIT) != 0 && bytes > oldSize) {
    std::memset(reinterpret_cast<BYTE*>(header + 1) + oldSize, 0, bytes - oldSize);
  }
  return header + 1;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  if (block != nullptr) {
    std::free(HeaderOf(block));
    --liveGlobal;
  }
  return nullptr;
}

SIZE_T GlobalSize(HGLOBAL block) { return block == nullptr ? 0 : HeaderOf(block)->size; }

HANDLE GetProcessHeap() {
  static int processHeap;
  return &processHeap;
}

LPVOID HeapAlloc(HANDLE, DWORD flags, SIZE_T bytes) {
  if (heapFailure.NextCallFails()) return nullptr;
  void* block = NewBlock(bytes, (flags & HEAP_ZERO_MEMORY) != 0);
  if (block != nullptr) ++liveHeap;
  return block;
}

BOOL HeapFree(HANDLE, DWORD, LPVOID block) {
  if (block != nullptr) {
    std::free(HeaderOf(block));
    --liveHeap;
  }
  return TRUE;
}

}  // extern "C"

namespace kav::standin {

void AddMemoryControls(Controls& controls) {
  controls.FailGlobalAlloc = [](FailurePlan plan) { globalFailure.Arm(plan); };
  controls.FailHeapAlloc = [](FailurePlan plan) { heapFailure.Arm(plan); };
  controls.LiveGlobalBlocks = []() -> long { return liveGlobal; };
  controls.LiveHeapBlocks = []() -> long { return liveHeap; };
}

void ResetMemoryStandin() {
  globalFailure.Arm({});
  heapFailure.Arm({});
}

}  // namespace kav::standin
