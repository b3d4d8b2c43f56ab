// kavjob: shows what a print job tells the printer and rebuilds its pages.
#include <iostream>
#include <new>

#include "job/kavjob_command.h"
#include "support/tool_exit.h"

int main(int argc, char** argv) {
  try {
    return kav::tools::RunKavJob(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  } catch (const std::bad_alloc&) {
    return kav::tools::ReportFailure(std::cerr, "kavjob", "out of memory");
  } catch (const std::exception& e) {
    return kav::tools::ReportFailure(std::cerr, "kavjob", e.what());
  }
}
