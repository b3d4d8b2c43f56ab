// kavhost: drives the render plug-in as the printer host does and writes the job.
#include <iostream>
#include <new>

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
  try {
    return kav::tools::RunKavHost(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                                  StderrIsTerminal());
  } catch (const std::bad_alloc&) {
    return kav::tools::ReportFailure(std::cerr, "kavhost", "out of memory");
  } catch (const std::exception& e) {
    return kav::tools::ReportFailure(std::cerr, "kavhost", e.what());
  }
}
