// kavjob: shows what a print job tells the printer and rebuilds its pages.
#include <iostream>

#include "job/kavjob_command.h"
#include "support/tool_exit.h"

int main(int argc, char** argv) {
  return kav::tools::RunTool("kavjob", [&] {
    return kav::tools::RunKavJob(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  });
}
