// kavhost: drives the render plug-in as the printer host does and writes the job.
#include <iostream>

#include "kavhost/kavhost_command.h"
#include "platform/win32.h"
#include "support/tool_exit.h"

namespace {

bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  return kav::tools::RunTool("kavhost", [&] {
    return kav::tools::RunKavHost(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                                  StderrIsTerminal());
  });
}
