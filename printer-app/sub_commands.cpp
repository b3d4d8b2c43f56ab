#include "sub_commands.h"

#include <cups/cups.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "admin_access.h"

namespace kav::app {
namespace {

constexpr char kAppName[] = "kav-printer-app";

// PAPPL's standard sub-commands; no word is `submit`'s.
const std::set<std::string> kSubCommands = {"add",     "autoadd", "cancel",   "default", "delete", "devices",
                                            "drivers", "jobs",    "modify",   "options", "pause",  "printers",
                                            "resume",  "server",  "shutdown", "status",  "submit"};
// PAPPL's options that take the next word as their value, and the option
// names it gives those the app reads.
constexpr char kValueOptions[] = "dhjmnotuv";

struct CommandLine {
  std::string subCommand = "submit";
  int numOptions = 0;
  cups_option_t* options = nullptr;
  bool hasFiles = false;

  CommandLine() = default;
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;
  ~CommandLine() { cupsFreeOptions(numOptions, options); }

  const char* Option(const char* name) const { return cupsGetOption(name, numOptions, options); }
};

// Reads the command line as PAPPL does, as far as the app needs it: false
// for anything else (`--help`, `--version`, unknown or joined options, two
// sub-commands), which PAPPL's main loop answers.
bool Read(int argc, char* argv[], CommandLine& line) {
  bool named = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.size() == 2 && word[0] == '-' && std::strchr(kValueOptions, word[1]) != nullptr) {
      if (++i >= argc) return false;
      if (word[1] == 'o') {
        line.numOptions = cupsParseOptions(argv[i], line.numOptions, &line.options);
      } else if (word[1] == 'd' || word[1] == 'u') {
        line.numOptions =
            cupsAddOption(word[1] == 'd' ? "printer-name" : "printer-uri", argv[i], line.numOptions, &line.options);
      }
    } else if (word == "-a") {
      continue;
    } else if (word[0] == '-') {
      return false;
    } else if (kSubCommands.count(word) != 0) {
      if (named) return false;
      named = true;
      line.subCommand = word;
    } else {
      line.hasFiles = true;
    }
  }
  return true;
}

int Refuse(const char* message) {
  std::fprintf(stderr, "%s: %s\n", kAppName, message);
  return 1;
}

// A connection to the server a printer or server URI names.
http_t* ConnectTo(const char* uri) {
  char scheme[32], user[256], host[256], resource[1024];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, user, sizeof user, host, sizeof host, &port,
                      resource, sizeof resource) < HTTP_URI_STATUS_OK ||
      (std::strcmp(scheme, "ipp") != 0 && std::strcmp(scheme, "ipps") != 0)) {
    std::fprintf(stderr, "%s: %s is no ipp:// or ipps:// URI\n", kAppName, uri);
    return nullptr;
  }
  const http_encryption_t encryption =
      std::strcmp(scheme, "ipps") == 0 ? HTTP_ENCRYPTION_ALWAYS : HTTP_ENCRYPTION_IF_REQUESTED;
  http_t* http = httpConnect2(host, port, nullptr, AF_UNSPEC, encryption, 1, 30000, nullptr);
  if (http == nullptr) std::fprintf(stderr, "%s: cannot reach %s: %s\n", kAppName, uri, cupsLastErrorString());
  return http;
}

// Sends a request of the system service to the server `uri` names; the
// answer, or nothing (with the reason printed) when it failed.
ipp_t* AskSystem(const char* uri, ipp_op_t operation, const char* failure) {
  http_t* http = ConnectTo(uri);
  if (http == nullptr) return nullptr;
  ipp_t* request = ippNewRequest(operation);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, "ipp://localhost/ipp/system");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  ipp_t* response = cupsDoRequest(http, request, "/ipp/system");
  httpClose(http);
  if (cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
    std::fprintf(stderr, "%s: %s: %s\n", kAppName, failure, cupsLastErrorString());
    ippDelete(response);
    return nullptr;
  }
  return response;
}

int ListPrinters(const char* uri) {
  ipp_t* response = AskSystem(uri, IPP_OP_GET_PRINTERS, "cannot list the printers");
  if (response == nullptr) return 1;
  for (ipp_attribute_t* name = ippFindAttribute(response, "printer-name", IPP_TAG_NAME); name != nullptr;
       name = ippFindNextAttribute(response, "printer-name", IPP_TAG_NAME)) {
    std::puts(ippGetString(name, 0, nullptr));
  }
  ippDelete(response);
  return 0;
}

int ShutDown(const char* uri) {
  ipp_t* response = AskSystem(uri, IPP_OP_SHUTDOWN_ALL_PRINTERS, "cannot shut the server down");
  ippDelete(response);
  return response != nullptr ? 0 : 1;
}

int ListDrivers(const CommandLine& line, const DriverList& list) {
  if (line.Option("device-id") != nullptr) return Refuse("this printer application picks no driver by device ID");
  for (int i = 0; i < list.count; ++i) {
    const pappl_pr_driver_t& driver = list.drivers[i];
    std::printf("%s \"%s\" \"%s\"\n", driver.name, driver.description,
                driver.device_id != nullptr ? driver.device_id : "");
  }
  return 0;
}

int RunServer(const CommandLine& line, DriverList& list) {
  pappl_system_t* system = CreateSystem(line.numOptions, line.options, &list);
  if (system == nullptr) return 1;
  pappl_version_t version{};
  std::snprintf(version.name, sizeof version.name, "%s", kAppName);
  std::snprintf(version.sversion, sizeof version.sversion, "%s", kAppVersion);
  std::sscanf(kAppVersion, "%hu.%hu.%hu", &version.version[0], &version.version[1], &version.version[2]);
  papplSystemSetVersions(system, 1, &version);
  papplSystemRun(system);
  papplSystemDelete(system);
  RemovePrivateSocket();
  return 0;
}

}  // namespace

pappl_system_t* RefuseUnreadServerLine(int, cups_option_t*, void*) {
  Refuse("cannot read this command line: give each option apart, as in -o NAME=VALUE");
  return nullptr;
}

std::optional<int> RunAppSubCommand(int argc, char* argv[], DriverList& list) {
  CommandLine line;
  if (!Read(argc, argv, line)) return {};
  const std::string& command = line.subCommand;
  const char* uri = line.Option("printer-uri");
  if (line.hasFiles && command != "submit") return {};  // PAPPL says the sub-command takes no files
  if (command == "server") return RunServer(line, list);
  if (command == "drivers") return ListDrivers(line, list);
  if (uri == nullptr) return {};
  if (command == "printers") return ListPrinters(uri);
  if (command == "shutdown") return ShutDown(uri);
  if (command == "autoadd") return Refuse("autoadd adds printers to the local server only: leave out -u");
  if (command != "add" && line.Option("printer-name") != nullptr) {
    return Refuse(
        "-u names the printer (ipp://HOST:PORT/ipp/print/NAME): give the printer there, or -d without -u for the "
        "local server");
  }
  return {};
}

}  // namespace kav::app
