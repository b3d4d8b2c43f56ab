// The server's saved state (printers, their settings and jobs), which must
// never be lost.
//
// PAPPL 1.3.1 writes the state file in place: it empties the file first and
// then waits for the locks of the system and of each printer, so a server
// stopped or stuck in between leaves a file of nothing, and the next server
// starts without printers or jobs. Here the state is written to a file beside
// it, checked whole, flushed to the disk and renamed over the state file, so
// the file holds the last good state at every moment. Both are private to
// the server's user.
//
// PAPPL also takes the system's lock before each printer's when it saves, and
// a printer's before the system's when it aborts a document it refused (a
// raster document sent while the printer prints, or one whose client went
// away): a save at that moment waited for the printer while the abort waited
// for the system, and the server stopped answering. The save here holds the
// printers' locks first (through their job lists, the one way PAPPL offers),
// so an abort waits for it to end instead.
#pragma once

#include <pappl/pappl.h>

#include <string>

#include "host/result.h"

namespace kav::app {

// Saves the system's state to `path`; on a failure (logged) the last good
// state stays.
bool SaveState(pappl_system_t* system, const std::string& path);

// A file the server saved (the state, the jobs it holds): its text, empty
// when there is none; a file of a save that did not end is removed.
Result<std::string> ReadSavedFile(const std::string& path);

// Replaces a file the server saves with `text` as SaveState replaces the
// state file.
Status ReplaceSavedFile(const std::string& path, const std::string& text);

}  // namespace kav::app
