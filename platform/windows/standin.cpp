// On Windows the real services answer; the stand-in controls do nothing.
#include "platform/standin.h"

namespace kav::standin {

bool Available() { return false; }
void SetOsVersion(DWORD, DWORD) {}
void FailVersionQuery(bool) {}
void FailGlobalAlloc(FailurePlan) {}
void FailHeapAlloc(FailurePlan) {}
long LiveGlobalBlocks() { return 0; }
long LiveHeapBlocks() { return 0; }
void HideGdiplus(bool) {}
void FailGdiplusStartup(FailurePlan) {}
void SetEncoderList(EncoderList) {}
void FailSetPalette(FailurePlan) {}
void FailSaveImage(FailurePlan) {}
long GdiplusStartups() { return 0; }
long GdiplusShutdowns() { return 0; }
long LiveImages() { return 0; }
int LastJpegQuality() { return -1; }
void FailTempPath(FailurePlan) {}
void FailTempFileName(FailurePlan) {}
void FailFileOpen(FailurePlan) {}
void FailFileRead(FailurePlan) {}
void FailFileDelete(FailurePlan) {}
long TempFilesCreated() { return 0; }
long LiveTempFiles() { return 0; }
long LiveFileHandles() { return 0; }
void FailRevertToPrinterSelf(FailurePlan) {}
long IdentityReverts() { return 0; }
long IdentityImpersonations() { return 0; }
void Reset() {}

}  // namespace kav::standin
