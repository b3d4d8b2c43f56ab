// Stand-ins for reading a library's string-table resource. A library of the
// Linux build keeps its string blocks in an ELF note (string_note.h),
// found here in the loaded image through the library's program headers, so a
// text handed out by pointer stays valid while the library is loaded, as on
// Windows. Every length read from the note is checked against the note's size.
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "platform/win32.h"
#include "string_note.h"

namespace {

using kav::string_note::Units;
using StringBlock = kav::string_note::Block;
using StringTable = kav::string_note::Table;

struct NoteSegment {
  const BYTE* start;
  size_t size;
  size_t align;
};

struct SegmentSearch {
  const link_map* module;
  std::vector<NoteSegment> notes;
};

constexpr size_t kNoteHeaderSize = 12;  // name size, descriptor size, type

size_t AlignUp(size_t value, size_t align) { return (value + align - 1) / align * align; }

int CollectNoteSegments(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<SegmentSearch*>(data);
  if (info->dlpi_addr != search->module->l_addr || std::strcmp(info->dlpi_name, search->module->l_name) != 0) return 0;
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    if (header.p_type != PT_NOTE) continue;
    search->notes.push_back({reinterpret_cast<const BYTE*>(info->dlpi_addr + header.p_vaddr),
                             static_cast<size_t>(header.p_filesz), header.p_align == 8 ? size_t{8} : size_t{4}});
  }
  return 1;
}

std::vector<NoteSegment> NoteSegmentsOf(HMODULE module) {
  // A null module is the program itself, as on Windows.
  void* handle = module != nullptr ? module : dlopen(nullptr, RTLD_LAZY);
  link_map* map = nullptr;
  const bool located = handle != nullptr && dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr;
  if (module == nullptr && handle != nullptr) dlclose(handle);
  if (!located) return {};
  SegmentSearch search{map, {}};
  dl_iterate_phdr(CollectNoteSegments, &search);
  return search.notes;
}

std::optional<Units> FindTableNote(const NoteSegment& segment) {
  size_t offset = 0;
  while (offset <= segment.size && segment.size - offset >= kNoteHeaderSize) {
    uint32_t header[3];
    std::memcpy(header, segment.start + offset, sizeof header);
    const auto [nameSize, descSize, type] = header;
    const size_t nameStart = offset + kNoteHeaderSize;
    const size_t descStart = nameStart + AlignUp(nameSize, segment.align);
    const size_t descEnd = descStart + descSize;
    if (descEnd > segment.size) return std::nullopt;
    const bool ours = type == kav::string_note::kType && nameSize == sizeof kav::string_note::kOwner &&
                      std::memcmp(segment.start + nameStart, kav::string_note::kOwner, nameSize) == 0;
    const BYTE* desc = segment.start + descStart;
    if (ours && descSize % sizeof(WCHAR) == 0 && reinterpret_cast<uintptr_t>(desc) % alignof(WCHAR) == 0) {
      return Units(reinterpret_cast<const WCHAR*>(desc), descSize / sizeof(WCHAR));
    }
    offset = AlignUp(descEnd, segment.align);
  }
  return std::nullopt;
}

std::optional<StringTable> LoadTable(HMODULE module) {
  for (const NoteSegment& segment : NoteSegmentsOf(module)) {
    if (const std::optional<Units> note = FindTableNote(segment)) return kav::string_note::ParseDescriptor(*note);
  }
  return std::nullopt;
}

bool IsStringType(LPCWSTR type) { return IS_INTRESOURCE(type) && LOWORD(type) == LOWORD(RT_STRING); }

// The module's table for a walk of resources of `type`; without a table, or
// for a type other than the string table, nothing, with the last error set.
std::optional<StringTable> LoadTableOfType(HMODULE module, LPCWSTR type) {
  std::optional<StringTable> table = LoadTable(module);
  if (!table) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return std::nullopt;
  }
  if (!IsStringType(type)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return std::nullopt;
  }
  return table;
}

}  // namespace

extern "C" {

// As on Windows: a bufferMax of 0 stores a read-only pointer to the text in
// `buffer` (taken as an LPWSTR*) and answers its length; otherwise the text is
// cut to bufferMax - 1 units and terminated, and the units copied are the
// answer. An id whose block is absent answers 0 and leaves the buffer alone.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int bufferMax) {
  if (buffer == nullptr) return 0;
  const std::optional<StringTable> table = LoadTable(module);
  if (!table) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return 0;
  }
  const StringBlock* block = kav::string_note::FindBlock(*table, kav::string_note::BlockName(LOWORD(id)));
  if (block == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const Units text = kav::string_note::EntryText(*block, id % kav::string_note::kEntriesPerBlock);
  if (bufferMax == 0) {
    const WCHAR* start = text.data();
    std::memcpy(buffer, &start, sizeof start);
    return static_cast<int>(text.size());
  }
  if (bufferMax < 0) return 0;
  const size_t count = std::min(static_cast<size_t>(bufferMax - 1), text.size());
  if (count == 0) {
    if (bufferMax > 1) buffer[0] = 0;
    return 0;
  }
  std::memcpy(buffer, text.data(), count * sizeof(WCHAR));
  buffer[count] = 0;
  return static_cast<int>(count);
}

// The library's one resource type is the string table; its blocks are named
// by number. A callback answering FALSE ends the walk with that answer.
BOOL EnumResourceNamesW(HMODULE module, LPCWSTR type, ENUMRESNAMEPROCW proc, LONG_PTR param) {
  const std::optional<StringTable> table = LoadTableOfType(module, type);
  if (!table) return FALSE;
  if (proc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (const StringBlock& block : table->blocks) {
    if (!proc(module, type, MAKEINTRESOURCEW(block.name), param)) return FALSE;
  }
  return TRUE;
}

// Every block of the table is in the table's one language.
BOOL EnumResourceLanguagesW(HMODULE module, LPCWSTR type, LPCWSTR name, ENUMRESLANGPROCW proc, LONG_PTR param) {
  const std::optional<StringTable> table = LoadTableOfType(module, type);
  if (!table) return FALSE;
  if (!IS_INTRESOURCE(name) || kav::string_note::FindBlock(*table, LOWORD(name)) == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return FALSE;
  }
  if (proc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return proc(module, type, name, table->language, param);
}

}  // extern "C"
