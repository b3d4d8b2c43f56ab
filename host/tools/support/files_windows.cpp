// The file-system calls of the Windows build. Paths arrive in the narrow
// code page of the command line; std::filesystem turns them into the wide
// names the W calls take.
#include <fcntl.h>
#include <io.h>

#include <filesystem>

#include "platform/win32.h"
#include "support/files.h"

namespace kav::tools {
namespace {

std::wstring WideName(const std::string& path) { return std::filesystem::path(path).wstring(); }

// A stream that owns `handle`; the handle is closed when none can be made.
std::FILE* WriteStreamOf(HANDLE handle) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) _close(fd);
  return file;
}

// A handle for asking what `path` is. Backup semantics open folders too; no
// access is asked, so no sharing is denied.
HANDLE OpenToAsk(const std::string& path) {
  return CreateFileW(WideName(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  const HANDLE handle = OpenToAsk(path);
  if (handle == INVALID_HANDLE_VALUE) return {};
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL known = GetFileInformationByHandle(handle, &info);
  CloseHandle(handle);
  if (!known) return {};
  return FileIdentity{info.dwVolumeSerialNumber, uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

std::FILE* CreateTemporaryFileFor(const std::string& destination, std::string& temporary) {
  const std::string stem = FolderOf(destination) + "\\kav-output-" + std::to_string(GetCurrentProcessId()) + "-";
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    const std::string name = stem + std::to_string(GetTickCount() + attempt) + ".tmp";
    const HANDLE handle =
        CreateFileW(WideName(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return nullptr;
    }
    std::FILE* file = WriteStreamOf(handle);
    if (file == nullptr) {
      DeleteFileW(WideName(name).c_str());
      return nullptr;
    }
    temporary = name;
    return file;
  }
  return nullptr;
}

// The standard library sees no file at NUL; the system answers what it is.
// Named pipes are left out: opening one to ask would take one of its
// server's instances.
void FailWritesToClosedPipes() {}

bool IsDeviceOrFifo(const std::string& path) {
  const HANDLE handle = OpenToAsk(path);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool device = GetFileType(handle) == FILE_TYPE_CHAR;
  CloseHandle(handle);
  return device;
}

std::FILE* OpenDeviceForWriting(const std::string& path) {
  const HANDLE handle = CreateFileW(WideName(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (GetFileType(handle) == FILE_TYPE_CHAR) return WriteStreamOf(handle);
  CloseHandle(handle);
  return nullptr;
}

bool MoveIntoPlace(const std::string& temporary, const std::string& destination) {
  return MoveFileExW(WideName(temporary).c_str(), WideName(destination).c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

void RemoveFile(const std::string& path) { DeleteFileW(WideName(path).c_str()); }

}  // namespace kav::tools
