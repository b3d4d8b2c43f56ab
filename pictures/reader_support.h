// What the JPEG and PNG readers share: how they open files and bound what
// they hold.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "host/result.h"
#include "pictures/picture_reader.h"

namespace kav::pictures {

struct PictureFile {
  std::FILE* file;  // the caller's to close
  uint64_t size;
};

// Opens a regular file for reading, never a FIFO or a device, which could
// block the reader; the file stays closed to programs the process starts.
Result<PictureFile> OpenPictureFile(const std::string& path);

// A reader of type `Decoder`, opened by `open(decoder)`, or why it was not.
template <class Decoder, class Open>
Result<Reader> OpenReader(Open open) {
  auto decoder = std::make_unique<Decoder>();
  if (const Status opened = open(*decoder); !opened) return opened.failure();
  return Reader(std::move(decoder));
}

// Refuses to start decoding that would hold `held` bytes besides its rows.
Status CheckHeld(uint64_t held, uint64_t heldLimit);

}  // namespace kav::pictures
