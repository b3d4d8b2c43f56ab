// What the JPEG and PNG readers share: how they open files and bound what
// they hold.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/result.h"

namespace kav::pictures {

struct PictureFile {
  std::FILE* file;  // the caller's to close
  uint64_t size;
};

// Opens a regular file for reading, never a FIFO or a device, which could
// block the reader; the file stays closed to programs the process starts.
Result<PictureFile> OpenPictureFile(const std::string& path);

// Refuses to start decoding that would hold `held` bytes besides its rows.
Status CheckHeld(uint64_t held, uint64_t heldLimit);

}  // namespace kav::pictures
