// The end of a raster document PAPPL streams from its client.
//
// PAPPL 1.3.1 reads a streamed PWG or Apple raster document through
// cupsRasterOpenIO with httpRead on the client's connection, and asks for
// every line a page header promises, also after the document has ended. Once
// the request's last chunk is read, the connection is no longer receiving
// the request, but CUPS's httpRead goes on waiting for another chunk, a
// minute at a time: a document cut short inside a page got no answer until
// its client gave up. The program defines cupsRasterOpenIO (the dynamic
// linker binds PAPPL's calls to it too): a raster stream read with httpRead
// reads through a callback that answers the end of the document once the
// request has been received whole, as a file does at its end; every other
// raster stream is opened as it is.
#include <cups/cups.h>
#include <cups/raster.h>
#include <dlfcn.h>

#include <cstdint>

namespace {

using OpenIO = cups_raster_t* (*)(cups_raster_iocb_t iocb, void* ctx, cups_mode_t mode);

ssize_t ReadRequestBody(void* http, unsigned char* buffer, size_t length) {
  auto* connection = static_cast<http_t*>(http);
  if (httpGetState(connection) != HTTP_STATE_POST_RECV) return 0;
  return httpRead2(connection, reinterpret_cast<char*>(buffer), length);
}

}  // namespace

extern "C" cups_raster_t* cupsRasterOpenIO(cups_raster_iocb_t iocb, void* ctx, cups_mode_t mode) {
  static const auto open = reinterpret_cast<OpenIO>(dlsym(RTLD_NEXT, "cupsRasterOpenIO"));
  // PAPPL names httpRead, which CUPS's header makes httpRead2.
  const bool readsHttp = reinterpret_cast<uintptr_t>(iocb) == reinterpret_cast<uintptr_t>(&httpRead2);
  if (mode == CUPS_RASTER_READ && readsHttp) iocb = ReadRequestBody;
  return open(iocb, ctx, mode);
}
