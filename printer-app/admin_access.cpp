#include "admin_access.h"

#include <errno.h>
#include <grp.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

namespace kav::app {
namespace {

constexpr char kAppName[] = "kav-printer-app";

// The socket this server made, to remove it at the end only if it is still
// the same file.
struct MadeSocket {
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
};
std::optional<MadeSocket> made;

const char* NamedOption(const char* name, int numOptions, cups_option_t* options) {
  const char* value = cupsGetOption(name, numOptions, options);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

std::optional<gid_t> GroupId(const std::string& name) {
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return {};
  return found->gr_gid;
}

bool Fits(const std::string& path) { return path.size() < sizeof(sockaddr_un{}.sun_path); }

// How a connection to the socket at `path` goes: 0 when a server answers,
// else the error (ECONNREFUSED: a socket nobody listens on any more).
int ConnectError(const std::string& path) {
  const int fd = socket(AF_LOCAL, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  sockaddr_un address{};
  address.sun_family = AF_LOCAL;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const int result = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
  close(fd);
  return result;
}

// Frees `path` for a new socket: nothing there, or a socket left by a server
// that stopped without removing it. A running server's socket and every
// other file stay.
bool ClaimPath(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return true;
    std::fprintf(stderr, "%s: cannot use the socket %s: %s\n", kAppName, path.c_str(), std::strerror(errno));
    return false;
  }
  if (!S_ISSOCK(info.st_mode)) {
    std::fprintf(stderr, "%s: cannot use the socket %s: the file there is not a socket; it is left alone\n", kAppName,
                 path.c_str());
    return false;
  }
  const int error = ConnectError(path);
  if (error == 0) {
    std::fprintf(stderr, "%s: cannot use the socket %s: another server listens on it\n", kAppName, path.c_str());
    return false;
  }
  if (error != ECONNREFUSED) {
    std::fprintf(stderr, "%s: cannot use the socket %s: %s\n", kAppName, path.c_str(), std::strerror(error));
    return false;
  }
  if (unlink(path.c_str()) != 0 && errno != ENOENT) {
    std::fprintf(stderr, "%s: cannot remove the stale socket %s: %s\n", kAppName, path.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

// PAPPL (through CUPS) makes its domain socket world-writable, and a client
// connected before the mode is narrowed stays connected. So the socket is
// made in a private folder beside its place, narrowed there, and linked into
// place, which also fails rather than replace a socket made there meanwhile.
bool ListenInPrivateFolder(pappl_system_t* system, const AdminAccess& access) {
  std::string folder = access.socketPath + ".XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    std::fprintf(stderr, "%s: cannot make the socket %s: %s\n", kAppName, access.socketPath.c_str(),
                 std::strerror(errno));
    return false;
  }
  const std::string staged = folder + "/s";
  const char* step = "cannot listen there";
  bool listening = Fits(staged) && papplSystemAddListeners(system, staged.c_str());
  if (listening && access.group != static_cast<gid_t>(-1) &&
      chown(staged.c_str(), static_cast<uid_t>(-1), access.group) != 0) {
    step = "cannot give it to the administrators' group, of which the server's user must be a member";
    listening = false;
  }
  if (listening && chmod(staged.c_str(), access.group != static_cast<gid_t>(-1) ? 0660 : 0600) != 0) {
    step = "cannot make it private";
    listening = false;
  }
  if (listening && link(staged.c_str(), access.socketPath.c_str()) != 0) {
    step = errno == EEXIST ? "another socket was made there meanwhile" : "cannot put it in place";
    listening = false;
  }
  const int error = errno;
  unlink(staged.c_str());
  rmdir(folder.c_str());
  if (!listening) {
    std::fprintf(stderr, "%s: cannot make the socket %s: %s (%s)\n", kAppName, access.socketPath.c_str(), step,
                 Fits(staged) ? std::strerror(error) : "its path is too long");
    return false;
  }
  return true;
}

// The operations of printing, which need no login. Every other operation
// that PAPPL authorizes, and every web page that asks, administers.
const std::set<ipp_op_t> kPrintingOperations = {
    IPP_OP_PRINT_JOB,
    IPP_OP_VALIDATE_JOB,
    IPP_OP_CREATE_JOB,
    IPP_OP_SEND_DOCUMENT,
    IPP_OP_CANCEL_JOB,
    IPP_OP_GET_JOB_ATTRIBUTES,
    IPP_OP_GET_JOBS,
    IPP_OP_HOLD_JOB,
    IPP_OP_RELEASE_JOB,
    IPP_OP_CLOSE_JOB,
    IPP_OP_CANCEL_MY_JOBS,
    IPP_OP_CREATE_JOB_SUBSCRIPTIONS,
    IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS,
    IPP_OP_GET_SUBSCRIPTION_ATTRIBUTES,
    IPP_OP_GET_SUBSCRIPTIONS,
    IPP_OP_RENEW_SUBSCRIPTION,
    IPP_OP_CANCEL_SUBSCRIPTION,
    IPP_OP_GET_NOTIFICATIONS,
};

// The access the running server was given.
std::optional<AdminAccess> configured;

struct Credentials {
  const char* user;
  const char* password;
};

// PAM asks for the name and the password; both are the client's.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data) {
  const auto* credentials = static_cast<const Credentials*>(data);
  auto* replies = static_cast<pam_response*>(calloc(static_cast<size_t>(count), sizeof(pam_response)));
  if (replies == nullptr) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    if (messages[i]->msg_style == PAM_PROMPT_ECHO_ON) replies[i].resp = strdup(credentials->user);
    if (messages[i]->msg_style == PAM_PROMPT_ECHO_OFF) replies[i].resp = strdup(credentials->password);
  }
  *responses = replies;  // PAM frees them
  return PAM_SUCCESS;
}

bool PamAccepts(pappl_client_t* client, const Credentials& credentials) {
  pam_conv conversation{Converse, const_cast<Credentials*>(&credentials)};
  pam_handle_t* pam = nullptr;
  int status = pam_start(configured->authService.c_str(), credentials.user, &conversation, &pam);
  char peer[256];
  httpGetHostname(papplClientGetHTTP(client), peer, sizeof peer);
  if (status == PAM_SUCCESS) status = pam_set_item(pam, PAM_RHOST, peer);
  if (status == PAM_SUCCESS) status = pam_authenticate(pam, PAM_SILENT);
  if (status == PAM_SUCCESS) status = pam_acct_mgmt(pam, PAM_SILENT);
  if (status != PAM_SUCCESS) {
    papplLogClient(client, PAPPL_LOGLEVEL_WARN, "Login of '%s' refused: %s", credentials.user,
                   pam_strerror(pam, status));
  }
  if (pam != nullptr) pam_end(pam, status);
  return status == PAM_SUCCESS;
}

bool InGroup(const char* user, gid_t group) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwnam_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return false;
  int count = 64;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  if (getgrouplist(user, found->pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<size_t>(count));
    if (getgrouplist(user, found->pw_gid, groups.data(), &count) < 0) return false;
  }
  groups.resize(static_cast<size_t>(count));
  for (const gid_t id : groups) {
    if (id == group) return true;
  }
  return false;
}

// PAPPL's authorization callback: printing passes, administering needs a
// Basic login that the PAM service accepts (by a member of the
// administrators' group, when there is one).
http_status_t Authorize(pappl_client_t* client, const char*, gid_t, void*) {
  // Only an IPP request has a request message (PAPPL drops it before each
  // HTTP request, where the last IPP operation's number stays behind).
  ipp_t* request = papplClientGetRequest(client);
  if (request != nullptr && kPrintingOperations.count(ippGetOperation(request)) != 0) return HTTP_STATUS_CONTINUE;
  const char* field = httpGetField(papplClientGetHTTP(client), HTTP_FIELD_AUTHORIZATION);
  if (field == nullptr || std::strncmp(field, "Basic ", 6) != 0) return HTTP_STATUS_UNAUTHORIZED;
  char decoded[512];
  int length = sizeof decoded;
  httpDecode64_2(decoded, &length, field + 6);
  char* colon = std::strchr(decoded, ':');
  if (colon == nullptr) return HTTP_STATUS_UNAUTHORIZED;
  *colon = '\0';
  const Credentials credentials{decoded, colon + 1};
  const bool accepted = PamAccepts(client, credentials) &&
                        (configured->group == static_cast<gid_t>(-1) || InGroup(credentials.user, configured->group));
  if (accepted) papplClientSetUsername(client, credentials.user);
  explicit_bzero(decoded, sizeof decoded);
  return accepted ? HTTP_STATUS_CONTINUE : HTTP_STATUS_UNAUTHORIZED;
}

}  // namespace

std::optional<AdminAccess> ReadAdminAccess(int numOptions, cups_option_t* options, const std::string& defaultSocket) {
  AdminAccess access;
  const char* socketPath = NamedOption("domain-socket", numOptions, options);
  access.socketPath = socketPath != nullptr ? socketPath : defaultSocket;
  if (const char* group = NamedOption("admin-group", numOptions, options)) {
    const auto id = GroupId(group);
    if (!id) {
      std::fprintf(stderr, "%s: the administrators' group %s does not exist\n", kAppName, group);
      return {};
    }
    access.groupName = group;
    access.group = *id;
  }
  if (const char* service = NamedOption("auth-service", numOptions, options)) access.authService = service;
  return access;
}

bool ListenOnPrivateSocket(pappl_system_t* system, const AdminAccess& access) {
  if (!Fits(access.socketPath)) {
    std::fprintf(stderr, "%s: cannot use the socket %s: its path is too long\n", kAppName, access.socketPath.c_str());
    return false;
  }
  if (!ClaimPath(access.socketPath) || !ListenInPrivateFolder(system, access)) return false;
  struct stat info {};
  if (lstat(access.socketPath.c_str(), &info) == 0) made = MadeSocket{access.socketPath, info.st_dev, info.st_ino};
  papplLog(system, PAPPL_LOGLEVEL_INFO, "The domain socket '%s' answers this server's user%s%s only.",
           access.socketPath.c_str(), access.groupName.empty() ? "" : " and the group ", access.groupName.c_str());
  return true;
}

void RequireLoginToAdminister(pappl_system_t* system, const AdminAccess& access) {
  configured = access;
  if (!access.authService.empty()) papplSystemSetAuthCallback(system, "Basic", Authorize, nullptr);
}

void WakeListeningLoop(const std::string& socketPath) { ConnectError(socketPath); }

void RemovePrivateSocket() {
  if (!made) return;
  struct stat info {};
  if (lstat(made->path.c_str(), &info) == 0 && info.st_dev == made->device && info.st_ino == made->inode) {
    unlink(made->path.c_str());
  }
  made.reset();
}

}  // namespace kav::app
