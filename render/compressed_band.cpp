#include "render/compressed_band.h"

namespace kav {

HRESULT WriteCompressedBand(IPrintOemDriverUni*, PDEVOBJ, PBYTE, PBITMAPINFOHEADER, PBYTE, PIPPARAMS) {
  return E_NOTIMPL;
}

}  // namespace kav
