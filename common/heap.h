// Objects and records of the plug-ins live on the process heap.
#pragma once

#include <new>
#include <utility>

#include "platform/win32.h"

namespace kav {

// Constructs a T on the process heap; null when the heap refuses.
template <class T, class... Args>
T* HeapNew(Args&&... args) {
  void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(T));
  return memory == nullptr ? nullptr : new (memory) T(std::forward<Args>(args)...);
}

template <class T>
void HeapDelete(T* object) {
  if (object == nullptr) return;
  object->~T();
  HeapFree(GetProcessHeap(), 0, object);
}

}  // namespace kav
