// Controls of the Linux platform stand-ins, for the host stand-in, the tools
// and the tests: the operating-system version reported, injected failures,
// and counts of what is still held. On Windows the system's own services
// answer and there is nothing to control, so Get() answers null there.
#pragma once

#include "platform/win32.h"

namespace kav::standin {

// A failure plan: the nth following call fails (1 is the next call); with
// `sticky`, that call and every later one fail. Zero disarms.
struct FailurePlan {
  unsigned nth = 0;
  bool sticky = false;
};

// The encoders GDI+ lists.
enum class EncoderList {
  kStandard,      // a bitmap encoder, then the JPEG encoder as "image/jpeg"
  kEmpty,         // no encoder at all
  kWithoutJpeg,   // look-alikes of "image/jpeg" only, none equal to it
  kListingFails,  // the size is told, the list itself is refused
};

struct Controls {
  void (*SetOsVersion)(DWORD major, DWORD minor);
  void (*FailVersionQuery)(bool fail);

  void (*FailGlobalAlloc)(FailurePlan plan);
  void (*FailHeapAlloc)(FailurePlan plan);
  long (*LiveGlobalBlocks)();
  long (*LiveHeapBlocks)();

  // GDI+: start-ups and shut-downs so far, images not yet disposed of, the
  // quality of the last JPEG saved (-1 before any), and failures of each
  // step. A hidden GDI+ makes BindGdiplus answer null, as on a system
  // without it.
  void (*HideGdiplus)(bool hide);
  void (*FailGdiplusStartup)(FailurePlan plan);
  void (*SetEncoderList)(EncoderList list);
  void (*FailSetPalette)(FailurePlan plan);
  void (*FailSaveImage)(FailurePlan plan);
  long (*GdiplusStartups)();
  long (*GdiplusShutdowns)();
  long (*LiveImages)();
  int (*LastJpegQuality)();

  // Files: the temporary folder and file name, opening, reading and deleting
  // a file fail on plan; temporary files made by GetTempFileNameW and not
  // yet deleted through DeleteFileW are counted, and so are open handles.
  void (*FailTempPath)(FailurePlan plan);
  void (*FailTempFileName)(FailurePlan plan);
  void (*FailFileOpen)(FailurePlan plan);
  void (*FailFileRead)(FailurePlan plan);
  void (*FailFileDelete)(FailurePlan plan);
  long (*TempFilesCreated)();
  long (*LiveTempFiles)();
  long (*LiveFileHandles)();

  // The spooler's identity: changes to the spooler's own and back so far; a
  // failed change answers a null token.
  void (*FailRevertToPrinterSelf)(FailurePlan plan);
  long (*IdentityReverts)();
  long (*IdentityImpersonations)();

  // Puts every control back to its start: version 6.1, no failures armed,
  // GDI+ present with the standard encoder list, every count at zero.
  void (*Reset)();
};

#if defined(_WIN32)
inline const Controls* Get() { return nullptr; }
#else
KAV_EXPORT const Controls* Get();
#endif

}  // namespace kav::standin
