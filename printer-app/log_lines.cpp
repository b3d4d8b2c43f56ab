// The server's log lines, as PAPPL 1.3.1 writes them, mended in two ways.
//
// - A job's lines name its printer: PAPPL writes "[Job N]" alone, and job
//   numbers repeat across printers. Lines about a job become
//   "[Printer NAME] [Job N] ...".
// - PAPPL's line writer bounds its numbers by a negative length (so by none)
//   once a line is long: a long string followed by a number writes past its
//   buffer. Every line is formatted here, bounded, before PAPPL writes it as
//   plain text, so PAPPL formats no value itself.
//
// The program defines PAPPL's four logging entry points; the dynamic linker
// binds PAPPL's own calls to these too (PAPPL calls them through its
// procedure linkage table), and each hands the finished line to PAPPL's own
// function, found with dlsym(RTLD_NEXT).
#include <dlfcn.h>
#include <pappl/pappl.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

// PAPPL's own lines are shorter than this; longer ones are cut, as PAPPL cuts them.
constexpr size_t kLineBytes = 2048;

template <class Fn>
Fn PapplsOwn(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// The formatted message as PAPPL's writer takes it for plain text: '%'
// doubled, control characters and backslashes escaped (a message cannot make
// a second line).
__attribute__((format(printf, 1, 0))) std::string PlainText(const char* format, va_list arguments) {
  char line[kLineBytes];
  std::vsnprintf(line, sizeof line, format, arguments);
  std::string text;
  for (const char* c = line; *c != '\0'; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (byte == '%') {
      text += "%%";
    } else if (byte == '\\') {
      text += "\\\\";
    } else if (byte == '\n') {
      text += "\\n";
    } else if (byte == '\r') {
      text += "\\r";
    } else if (byte == '\t') {
      text += "\\t";
    } else if (byte < ' ' || byte == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\%03o", byte);
      text += escape;
    } else {
      text += *c;
    }
  }
  return text;
}

// Whether PAPPL writes a line of `level`: a system's from its level up, and
// those of no system (which PAPPL writes to the standard error) from
// warnings up.
bool Logged(pappl_system_t* system, pappl_loglevel_t level) {
  return level >= (system != nullptr ? papplSystemGetLogLevel(system) : PAPPL_LOGLEVEL_WARN);
}

using SystemLog = void (*)(pappl_system_t*, pappl_loglevel_t, const char*, ...);
using ClientLog = void (*)(pappl_client_t*, pappl_loglevel_t, const char*, ...);
using PrinterLog = void (*)(pappl_printer_t*, pappl_loglevel_t, const char*, ...);

}  // namespace

extern "C" {

void papplLog(pappl_system_t* system, pappl_loglevel_t level, const char* message, ...) {
  static const auto own = PapplsOwn<SystemLog>("papplLog");
  if (message == nullptr || !Logged(system, level)) return;
  va_list arguments;
  va_start(arguments, message);
  const std::string text = PlainText(message, arguments);
  va_end(arguments);
  own(system, level, text.c_str());
}

void papplLogClient(pappl_client_t* client, pappl_loglevel_t level, const char* message, ...) {
  static const auto own = PapplsOwn<ClientLog>("papplLogClient");
  if (client == nullptr || message == nullptr || !Logged(papplClientGetSystem(client), level)) return;
  va_list arguments;
  va_start(arguments, message);
  const std::string text = PlainText(message, arguments);
  va_end(arguments);
  own(client, level, text.c_str());
}

void papplLogPrinter(pappl_printer_t* printer, pappl_loglevel_t level, const char* message, ...) {
  static const auto own = PapplsOwn<PrinterLog>("papplLogPrinter");
  if (printer == nullptr || message == nullptr || !Logged(papplPrinterGetSystem(printer), level)) return;
  va_list arguments;
  va_start(arguments, message);
  const std::string text = PlainText(message, arguments);
  va_end(arguments);
  own(printer, level, text.c_str());
}

void papplLogJob(pappl_job_t* job, pappl_loglevel_t level, const char* message, ...) {
  static const auto own = PapplsOwn<PrinterLog>("papplLogPrinter");
  pappl_printer_t* printer = papplJobGetPrinter(job);
  if (printer == nullptr || message == nullptr || !Logged(papplPrinterGetSystem(printer), level)) return;
  va_list arguments;
  va_start(arguments, message);
  const std::string text = "[Job " + std::to_string(papplJobGetID(job)) + "] " + PlainText(message, arguments);
  va_end(arguments);
  own(printer, level, text.c_str());
}

}  // extern "C"
