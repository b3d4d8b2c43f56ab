// Who may administer the server (add, change, pause or delete printers,
// cancel others' jobs).
//
// PAPPL lets every client of its domain socket administer, and, while no
// PAM service is named, every client on loopback too. So:
// - the domain socket is made private before anyone can reach it: the
//   server's user (and root) only, or also the members of the administrators'
//   group (`-o admin-group=GROUP`, mode 0660); a socket a running server
//   listens on is never taken over, and a file that is not a stale socket is
//   never replaced;
// - with a PAM service named (`-o auth-service=NAME`), administration over
//   TCP needs a login, from loopback too; with an administrators' group the
//   login must be a member. Printing needs none. (PAPPL's own PAM service
//   would ask every client for a login, to print too; with any login
//   configured, PAPPL 1.3.1 answers other machines over TLS only, printing
//   included.)
#pragma once

#include <pappl/pappl.h>
#include <sys/types.h>

#include <optional>
#include <string>

namespace kav::app {

struct AdminAccess {
  std::string socketPath;
  std::string groupName;  // empty: no administrators' group
  gid_t group = static_cast<gid_t>(-1);
  std::string authService;  // empty: PAPPL's rule, loopback administers without login
};

// The access the options ask for; the socket is `defaultSocket` unless
// `-o domain-socket=PATH` names one. Prints why and answers nothing for a
// group that does not exist.
std::optional<AdminAccess> ReadAdminAccess(int numOptions, cups_option_t* options, const std::string& defaultSocket);

// Makes the system listen on the access's domain socket, reachable only as
// described above from its first moment. Prints why and answers false when
// the path is taken or the socket cannot be made.
bool ListenOnPrivateSocket(pappl_system_t* system, const AdminAccess& access);

// With a PAM service named, makes administration over TCP need a login
// (see above); the system keeps using `access` while it runs.
void RequireLoginToAdminister(pappl_system_t* system, const AdminAccess& access);

// PAPPL 1.3.1 notices a Shutdown-System request only when its listening
// loop next wakes, for a connection or a timer, up to 30 seconds later: a
// connection to the server's own socket wakes it at once.
void WakeListeningLoop(const std::string& socketPath);

// Removes the socket the server made, once it stops (PAPPL leaves it); a file
// put there since is left alone.
void RemovePrivateSocket();

}  // namespace kav::app
