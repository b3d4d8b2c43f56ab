// `kavhost replay`: a scripted sequence of host calls, replayed through the
// render plug-in; the job and, on request, the list of every spool write.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/result.h"
#include "kavhost/replay_script.h"
#include "support/command_line.h"

namespace kav::tools {

struct ReplayOptions {
  std::string script;
  std::string output;
  std::string writes;  // empty: no list
  std::string plugin;  // empty: the render library beside the program
};

// The words and options `replay` takes, read into `options`.
void DescribeReplayOptions(CLI::App& command, ReplayOptions& options);

// One line of the list of spool writes: the write's byte count, a space,
// its bytes in lower-case hex; a write the host refused (FailWrite) ends
// with " failed".
std::string WriteListLine(const uint8_t* bytes, size_t size, bool accepted);

Status RunReplay(const ReplayOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kav::tools
