#include "render/image_processing.h"

namespace kav {

void ProcessBand(IPrintOemDriverUni*, PDEVOBJ, PBYTE, PBITMAPINFOHEADER, PBYTE, DWORD, PIPPARAMS) {}

}  // namespace kav
