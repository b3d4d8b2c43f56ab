#include "reader_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pictures/picture_reader.h"

namespace kav::pictures {

Result<PictureFile> OpenPictureFile(const std::string& path) {
  // Opened without waiting, so a FIFO is found out here and not waited on.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Error{"cannot open " + path + ": " + std::strerror(errno)};
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    return Error{"cannot read " + path + ": not a regular file"};
  }
  std::FILE* file = fcntl(fd, F_SETFL, 0) == 0 ? fdopen(fd, "rb") : nullptr;
  if (file == nullptr) {
    const int error = errno;
    close(fd);
    return Error{"cannot read " + path + ": " + std::strerror(error)};
  }
  return PictureFile{file, static_cast<uint64_t>(status.st_size)};
}

Status CheckHeld(uint64_t held, uint64_t heldLimit) {
  if (held <= heldLimit) return {};
  const auto mib = [](uint64_t bytes) { return std::to_string((bytes + (uint64_t{1} << 20) - 1) >> 20); };
  return Error{"decoding it holds " + mib(held) + " MiB at once, more than the " + mib(heldLimit) + " MiB allowed"};
}

Status ReadEveryRow(PictureReader& reader, uint8_t* pixels) {
  const size_t rowBytes = reader.RowBytes();
  for (uint32_t y = 0; y < reader.info().height; ++y) {
    if (const Status row = reader.ReadRow(pixels + y * rowBytes); !row) return row;
  }
  return {};
}

}  // namespace kav::pictures
