// The sub-commands the app answers itself, before PAPPL's main loop gets
// the command line, where PAPPL 1.3.1's own do something else than asked:
// - `server`: PAPPL's also listens on its default domain socket, whatever
//   `-o domain-socket` names, taking it over from a server running there, and
//   world-writable; the app runs the server itself (see admin_access.h).
// - `drivers`: PAPPL makes a whole server to list the drivers (state folder,
//   listeners), so the listing failed without a state folder or beside a
//   running server, and `-o device-id=...` crashed it; the app lists its one
//   driver.
// - `printers -u URI` and `shutdown -u URI`: PAPPL ignores the URI and reaches
//   (or starts) the local server; the app asks the server the URI names.
// - `-u URI` with `-d NAME` (other than for `add`, where the URI names the
//   server): PAPPL ignores the name and takes the printer the URI names, or
//   the server's default printer; refused, as is `autoadd -u` (PAPPL ignores
//   the URI there too).
// Every other command line, and any this reading does not understand, goes
// to PAPPL's main loop unchanged.
#pragma once

#include <optional>

#include "app_system.h"

namespace kav::app {

// The exit status of the sub-command the app answered, or nothing when
// PAPPL's main loop is to run it.
std::optional<int> RunAppSubCommand(int argc, char* argv[], DriverList& list);

// papplMainloop's system callback, for a `server` or `drivers` command line
// that RunAppSubCommand could not read but PAPPL takes (such as joined
// options): refuses, rather than run a server PAPPL's way.
pappl_system_t* RefuseUnreadServerLine(int numOptions, cups_option_t* options, void* context);

}  // namespace kav::app
