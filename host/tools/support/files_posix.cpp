// The file-system calls of the Linux build.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "support/files.h"

namespace kav::tools {

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return {};
  return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

std::FILE* CreateTemporaryFileFor(const std::string& destination, std::string& temporary) {
  std::string name = FolderOf(destination) + "/.kav-output-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) return nullptr;
  // mkstemp makes the file private; the output gets the mode the replaced
  // file had, or the one any new file of the user gets.
  struct stat existing {};
  mode_t mode = 0;
  if (stat(destination.c_str(), &existing) == 0) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  std::FILE* file = fchmod(fd, mode) == 0 ? fdopen(fd, "wb") : nullptr;
  if (file == nullptr) {
    close(fd);
    unlink(name.c_str());
    return nullptr;
  }
  temporary = name;
  return file;
}

namespace {

bool DeviceOrFifoMode(mode_t mode) { return S_ISCHR(mode) || S_ISFIFO(mode); }

}  // namespace

void FailWritesToClosedPipes() { signal(SIGPIPE, SIG_IGN); }

bool IsDeviceOrFifo(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && DeviceOrFifoMode(info.st_mode);
}

std::FILE* OpenDeviceForWriting(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  const bool device = fstat(fd, &info) == 0 && DeviceOrFifoMode(info.st_mode);
  std::FILE* file = device ? fdopen(fd, "wb") : nullptr;
  if (file == nullptr) close(fd);
  return file;
}

bool MoveIntoPlace(const std::string& temporary, const std::string& destination) {
  return rename(temporary.c_str(), destination.c_str()) == 0;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

}  // namespace kav::tools
