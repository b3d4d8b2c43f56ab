// Controls of the platform stand-ins, for the host stand-in and the tests:
// the operating-system version reported, injected failures, and counts of
// what is still held. On Windows the real services answer and these controls
// do nothing; Available() tells which build this is.
#pragma once

#include "platform/win32.h"

#if defined(_WIN32)
#define KAV_STANDIN_API
#else
#define KAV_STANDIN_API __attribute__((visibility("default")))
#endif

namespace kav::standin {

// A failure plan: the nth following call fails (1 is the next call); with
// `sticky`, that call and every later one fail. Zero disarms.
struct FailurePlan {
  unsigned nth = 0;
  bool sticky = false;
};

KAV_STANDIN_API bool Available();

KAV_STANDIN_API void SetOsVersion(DWORD major, DWORD minor);
KAV_STANDIN_API void FailVersionQuery(bool fail);

KAV_STANDIN_API void FailGlobalAlloc(FailurePlan plan);
KAV_STANDIN_API void FailHeapAlloc(FailurePlan plan);
KAV_STANDIN_API long LiveGlobalBlocks();
KAV_STANDIN_API long LiveHeapBlocks();

// GDI+: start-ups and shut-downs so far, images not yet disposed of, the
// quality of the last JPEG saved (-1 before any), and failures of each step.
// A hidden GDI+ makes BindGdiplus answer null, as on a system without it.
enum class EncoderList {
  kStandard,      // a bitmap encoder, then the JPEG encoder as "image/jpeg"
  kEmpty,         // no encoder at all
  kWithoutJpeg,   // look-alikes of "image/jpeg" only, none equal to it
  kListingFails,  // the size is told, the list itself is refused
};
KAV_STANDIN_API void HideGdiplus(bool hide);
KAV_STANDIN_API void FailGdiplusStartup(FailurePlan plan);
KAV_STANDIN_API void SetEncoderList(EncoderList list);
KAV_STANDIN_API void FailSetPalette(FailurePlan plan);
KAV_STANDIN_API void FailSaveImage(FailurePlan plan);
KAV_STANDIN_API long GdiplusStartups();
KAV_STANDIN_API long GdiplusShutdowns();
KAV_STANDIN_API long LiveImages();
KAV_STANDIN_API int LastJpegQuality();

// Files: the temporary folder and file name, opening, reading and deleting
// a file fail on plan; temporary files made by GetTempFileNameW and not yet
// deleted through DeleteFileW are counted, and so are open file handles.
KAV_STANDIN_API void FailTempPath(FailurePlan plan);
KAV_STANDIN_API void FailTempFileName(FailurePlan plan);
KAV_STANDIN_API void FailFileOpen(FailurePlan plan);
KAV_STANDIN_API void FailFileRead(FailurePlan plan);
KAV_STANDIN_API void FailFileDelete(FailurePlan plan);
KAV_STANDIN_API long TempFilesCreated();
KAV_STANDIN_API long LiveTempFiles();
KAV_STANDIN_API long LiveFileHandles();

// The spooler's identity: changes to the spooler's own and back so far; a
// failed change answers a null token.
KAV_STANDIN_API void FailRevertToPrinterSelf(FailurePlan plan);
KAV_STANDIN_API long IdentityReverts();
KAV_STANDIN_API long IdentityImpersonations();

// Puts every control back to its start: version 6.1, no failures armed,
// GDI+ present with the standard encoder list, every count at zero.
KAV_STANDIN_API void Reset();

}  // namespace kav::standin
