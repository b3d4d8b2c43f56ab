#include "render/command_callback.h"

namespace kav {

void RunCommandCallback(IPrintOemDriverUni*, PDEVOBJ, DWORD) {}

}  // namespace kav
