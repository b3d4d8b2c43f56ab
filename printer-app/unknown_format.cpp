#include "unknown_format.h"

#include <cstring>

#include "kav_driver.h"

namespace kav::app {
namespace {

bool StartsWith(const unsigned char* bytes, size_t size, const char* text) {
  const size_t length = std::strlen(text);
  return size >= length && std::memcmp(bytes, text, length) == 0;
}

// A JPEG file is its start-of-image marker (FF D8) followed by the marker
// of a segment that may come first: tables (DQT, DHT, DAC, DRI), a comment,
// an application segment or the frame itself. Fill bytes (FF) may stand
// before a marker.
bool IsJpeg(const unsigned char* bytes, size_t size) {
  if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF) return false;
  size_t at = 3;
  while (at < size && bytes[at] == 0xFF) ++at;
  if (at == size) return false;
  const unsigned char marker = bytes[at];
  return (marker >= 0xC0 && marker <= 0xCF) || marker == 0xDB || marker == 0xDD || marker == 0xFE ||
         (marker >= 0xE0 && marker <= 0xEF);
}

// Where the document proper starts behind the job header print drivers put
// before PDF and PostScript: end-of-transmission bytes (Ctrl-D), then the
// universal exit of printer job language and its "@PJL" command lines.
// Answers 0 when there is no such header.
size_t AfterJobHeader(const unsigned char* bytes, size_t size) {
  size_t at = 0;
  while (at < size && bytes[at] == 0x04) ++at;
  static constexpr char kUniversalExit[] = "\x1b%-12345X";
  if (StartsWith(bytes + at, size - at, kUniversalExit)) {
    at += sizeof kUniversalExit - 1;
    while (StartsWith(bytes + at, size - at, "@PJL")) {
      const void* end = std::memchr(bytes + at, '\n', size - at);
      if (end == nullptr) return 0;
      at = static_cast<size_t>(static_cast<const unsigned char*>(end) - bytes) + 1;
    }
  }
  return at;
}

bool RefuseDocument(pappl_job_t* job, pappl_device_t*) {
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
  return Fail(job,
              "The document is in none of the formats the printer takes (PDF, PostScript, JPEG, PNG, PWG raster, "
              "Apple raster).");
}

// The format of a document PAPPL could not type, from its first `size`
// bytes; null when it is none the printer takes.
const char* TypeDocument(const unsigned char* header, size_t size, void*) {
  if (IsJpeg(header, size)) return "image/jpeg";
  const size_t body = AfterJobHeader(header, size);
  if (body == 0) return nullptr;
  if (StartsWith(header + body, size - body, "%PDF-")) return "application/pdf";
  if (StartsWith(header + body, size - body, "%!")) return "application/postscript";
  return nullptr;
}

}  // namespace

void AddUnknownFormatFilter(pappl_system_t* system) {
  papplSystemSetMIMECallback(system, TypeDocument, nullptr);
  AddDriverFilter(system, kDriverFormat, kDriverFormat, RefuseDocument);
}

}  // namespace kav::app
