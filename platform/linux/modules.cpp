// Stand-ins for module loading: a library path in UTF-16, as the host gives
// it, opened with the dynamic loader.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <string>

#include "platform/standin.h"
#include "platform/wide_text.h"

namespace {

// Copies a UTF-8 text into a caller's UTF-16 buffer the way the kernel does:
// cut to fit, always terminated, the count of units copied as the answer.
DWORD CopyOut(const std::string& utf8, LPWSTR out, DWORD size) {
  if (out == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const kav::WideString wide = kav::ToWide(utf8);
  const DWORD count = wide.size() < size ? static_cast<DWORD>(wide.size()) : size - 1;
  wide.copy(out, count);
  out[count] = 0;
  if (count < wide.size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return count;
}

}  // namespace

extern "C" {

HMODULE LoadLibraryW(LPCWSTR path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* module = dlopen(kav::ToUtf8(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
  return module;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  void* symbol = module == nullptr || name == nullptr ? nullptr : dlsym(module, name);
  if (symbol == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) { return module != nullptr && dlclose(module) == 0; }

DWORD GetModuleFileNameW(HMODULE module, LPWSTR name, DWORD size) {
  if (module == nullptr) {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return 0;
    return CopyOut(std::string(path, static_cast<size_t>(length)), name, size);
  }
  link_map* map = nullptr;
  if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return 0;
  return CopyOut(map->l_name, name, size);
}

}  // extern "C"
