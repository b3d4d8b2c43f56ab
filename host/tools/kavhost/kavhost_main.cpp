// kavhost: drives the render plug-in as the printer host does and writes the job.
#include <iostream>
#include <new>

#include "job/kavjob_command.h"
#include "kavhost/kavhost_command.h"
#include "platform/win32.h"

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
    std::cerr << "kavhost: out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << "kavhost: " << e.what() << "\n";
  }
  return kav::tools::kExitFailure;
}
