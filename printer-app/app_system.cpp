#include "app_system.h"

#include <errno.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "admin_access.h"
#include "device_turns.h"
#include "driver_data.h"
#include "interrupted_jobs.h"
#include "kav_driver.h"
#include "pdf_filter.h"
#include "picture_filters.h"
#include "state_file.h"
#include "unknown_format.h"

namespace kav::app {
namespace {

constexpr char kAppName[] = "kav-printer-app";
constexpr int kDefaultPort = 8631;

// Paths the system keeps for as long as it runs (the save callback holds one).
struct SystemPaths {
  std::string stateFile;
  std::string heldJobs;  // the jobs the server holds until their printer is free
  std::string spool;
  std::string log;
};
SystemPaths paths;

const char* OptionOr(const char* name, int numOptions, cups_option_t* options, const char* fallback) {
  const char* value = cupsGetOption(name, numOptions, options);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// The domain socket the other sub-commands of papplMainloop connect to: the
// path PAPPL's main loop computes for this program and user.
std::string MainloopSocketPath() {
  if (getuid() == 0) return std::string("/run/") + kAppName + ".sock";
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + kAppName + std::to_string(getuid()) +
         ".sock";
}

bool MakeFolder(const std::string& path) {
  struct stat info {};
  int error = 0;
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    error = errno;
  } else if (stat(path.c_str(), &info) != 0) {
    error = errno;
  } else if (!S_ISDIR(info.st_mode)) {
    error = ENOTDIR;
  }
  if (error == 0) return true;
  std::fprintf(stderr, "%s: cannot make the folder %s: %s\n", kAppName, path.c_str(), std::strerror(error));
  return false;
}

// The folder and those above it that are missing (on a new account even
// ~/.local/state is), each private to its owner as it is made.
bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    struct stat info {};
    const std::string parent = path.substr(0, slash);
    if (stat(parent.c_str(), &info) != 0 && !MakeFolder(parent)) return false;
  }
  return MakeFolder(path);
}

std::string StateDirectory(int numOptions, cups_option_t* options) {
  const char* named = OptionOr("state-directory", numOptions, options, std::getenv(kStateDirectoryVariable));
  if (named != nullptr && *named != '\0') return named;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && *home != '\0' ? home : ".") + "/.local/state/" + kAppName;
}

pappl_loglevel_t LogLevelOf(const char* name) {
  if (std::strcmp(name, "debug") == 0) return PAPPL_LOGLEVEL_DEBUG;
  if (std::strcmp(name, "warn") == 0) return PAPPL_LOGLEVEL_WARN;
  if (std::strcmp(name, "error") == 0) return PAPPL_LOGLEVEL_ERROR;
  return PAPPL_LOGLEVEL_INFO;
}

// Whether every address of `host` takes a listener on `port`. PAPPL's own
// listeners share a port with another server that listens there, so a taken
// port is found out here, before they are made.
bool PortIsFree(const char* host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  if (getaddrinfo(std::strcmp(host, "*") == 0 ? nullptr : host, std::to_string(port).c_str(), &hints, &found) != 0) {
    return true;  // PAPPL reports the name it cannot resolve
  }
  bool free = true;
  for (addrinfo* address = found; free && address != nullptr; address = address->ai_next) {
    const int fd = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    if (fd < 0) continue;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, address->ai_addr, address->ai_addrlen) != 0 && errno == EADDRINUSE) free = false;
    close(fd);
  }
  freeaddrinfo(found);
  return free;
}

// A failed listen leaves PAPPL serving its domain socket alone, silently;
// here the server refuses to start instead.
bool Listen(pappl_system_t* system, const char* name) {
  if (papplSystemAddListeners(system, name)) return true;
  std::fprintf(stderr, "%s: cannot listen on %s: %s\n", kAppName, name, std::strerror(errno));
  return false;
}

bool SaveStateFile(pappl_system_t* system, void*) {
  const unsigned releases = StateSaveBegins();
  if (!SaveState(system, paths.stateFile)) return false;
  StateSaved(releases);
  return true;
}

// Loads the saved printers and jobs. Jobs that were printing when the server
// stopped come back held and are released once their printer is free.
void LoadState(pappl_system_t* system) {
  if (const Status kept = KeepHeldJobsIn(paths.heldJobs); !kept) {
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Jobs the last server held stay held: %s", kept.error().c_str());
  }
  // Listed as held before the state says so: a server stopped in between
  // still releases them.
  const auto interrupted = HoldInterruptedJobs(
      paths.stateFile, [](const InterruptedJob& job) { ReleaseWhenFree(job.printerId, job.jobId); });
  if (!interrupted) {
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Jobs that were printing when the server stopped stay stopped: %s",
             interrupted.error().c_str());
  }
  papplSystemLoadState(system, paths.stateFile.c_str());
  if (!interrupted) return;
  for (const InterruptedJob& job : *interrupted) {
    papplLog(system, PAPPL_LOGLEVEL_INFO,
             "Job %d was printing when the server stopped; it prints again from its start.", job.jobId);
  }
}

}  // namespace

pappl_system_t* CreateSystem(int numOptions, cups_option_t* options, void* context) {
  const auto* list = static_cast<const DriverList*>(context);
  const std::string folder = StateDirectory(numOptions, options);
  if (!MakeFolders(folder)) return nullptr;
  paths.stateFile = folder + "/" + kAppName + ".state";
  paths.heldJobs = folder + "/" + kAppName + ".held";
  paths.spool = folder + "/spool";
  paths.log = OptionOr("log-file", numOptions, options, (folder + "/" + kAppName + ".log").c_str());
  if (!MakeFolder(paths.spool)) return nullptr;
  const int port = std::atoi(OptionOr("server-port", numOptions, options, std::to_string(kDefaultPort).c_str()));
  if (port < 1 || port > 65535) {
    std::fprintf(stderr, "%s: bad server-port\n", kAppName);
    return nullptr;
  }
  const char* host = OptionOr("listen-hostname", numOptions, options, "localhost");
  const auto access = ReadAdminAccess(numOptions, options, MainloopSocketPath());
  if (!access) return nullptr;
  const auto limits = DocumentLimitsFrom(numOptions, options);
  if (!limits) {
    std::fprintf(stderr, "%s: %s\n", kAppName, limits.error().c_str());
    return nullptr;
  }
  if (!PortIsFree(host, port)) {
    std::fprintf(stderr, "%s: cannot listen on %s port %d: another program listens there\n", kAppName, host, port);
    return nullptr;
  }
  if (const Status described = UseDriverDescription(OptionOr("gpd", numOptions, options, "")); !described) {
    std::fprintf(stderr, "%s: %s\n", kAppName, described.error().c_str());
    return nullptr;
  }
  pappl_system_t* system = papplSystemCreate(
      static_cast<pappl_soptions_t>(PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_WEB_LOG),
      kAppName, port, "_print,_universal", paths.spool.c_str(), paths.log.c_str(),
      LogLevelOf(OptionOr("log-level", numOptions, options, "info")), nullptr, false);
  if (system == nullptr) {
    std::fprintf(stderr, "%s: cannot create the print server\n", kAppName);
    return nullptr;
  }
  if (!Listen(system, host) || !ListenOnPrivateSocket(system, *access)) {
    papplSystemDelete(system);
    return nullptr;
  }
  if (!access->groupName.empty()) papplSystemSetAdminGroup(system, access->groupName.c_str());
  RequireLoginToAdminister(system, *access);
  // PAPPL registers its built-in device schemes (file, socket, usb, ...) on
  // the first device call; until then a new printer's device is refused.
  papplDeviceIsSupported("socket://127.0.0.1");
  papplSystemSetFooterHTML(system, kFooterHtml);
  papplSystemSetPrinterDrivers(system, list->count, list->drivers, nullptr, nullptr, KavDriverInit, nullptr);
  AddPdfFilter(system, paths.spool, *limits);
  AddPictureFilters(system);
  AddUnknownFormatFilter(system);
  AddStreamedRasterFilters(system);
  StartReleasingHeldJobs(system, [socket = access->socketPath] { WakeListeningLoop(socket); });
  LoadState(system);
  papplSystemSetSaveCallback(system, SaveStateFile, nullptr);
  return system;
}

}  // namespace kav::app
