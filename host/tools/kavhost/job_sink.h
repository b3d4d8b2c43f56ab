// The job file the plug-in's spooled bytes go to, counted as they go.
#pragma once

#include <cstdint>

#include "host/driver_helper.h"
#include "support/output_file.h"

namespace kav::tools {

struct JobSink final : host::SpoolSink {
  void Write(const uint8_t* data, size_t size) override {
    file.Write(data, size);
    bytes += size;
  }

  OutputFile file;
  uint64_t bytes = 0;
};

}  // namespace kav::tools
