// The two tools run in-process as a user runs them, with what they print and
// their exit code, and the small files the tool tests make and read.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "job/kavjob_command.h"
#include "kavhost/kavhost_command.h"
#include "support/tool_exit.h"

namespace kav::tools {

struct ToolRun {
  int code = -1;
  std::string out;
  std::string err;
};

inline ToolRun Host(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  ToolRun run;
  run.code = RunKavHost(args, out, err, false);
  run.out = out.str();
  run.err = err.str();
  return run;
}

inline ToolRun Job(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  ToolRun run;
  run.code = RunKavJob(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
}

}  // namespace kav::tools
