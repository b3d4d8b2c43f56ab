#include "state_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace kav::app {
namespace {

std::string Beside(const std::string& path) { return path + ".saving"; }

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

Error SystemError(const std::string& what) { return Error{what + ": " + std::strerror(errno)}; }

// An empty file beside the state file, private to the server's user.
Status MakePrivateFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return SystemError("cannot make " + path);
  const bool made = fchmod(fd, 0600) == 0;
  close(fd);
  if (!made) return SystemError("cannot make " + path + " private");
  return {};
}

// Flushes the file's data, then gives it the state file's name; the folder
// is flushed too, so the new name survives a power cut.
Status MoveIntoPlace(const std::string& written, const std::string& path) {
  const int fd = open(written.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || fsync(fd) != 0) {
    const Error error = SystemError("cannot flush " + written);
    if (fd >= 0) close(fd);
    return error;
  }
  close(fd);
  if (rename(written.c_str(), path.c_str()) != 0) return SystemError("cannot rename " + written);
  const int folder = open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return {};
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
  return count;
}

// PAPPL does not say whether its writes reached the file. A whole state ends
// its last line, holds the system's UUID and closes every printer it opens.
bool LooksWhole(const std::string& text) {
  return !text.empty() && text.back() == '\n' && text.find("\nUUID ") != std::string::npos &&
         Count(text, "\n<Printer ") == Count(text, "\n</Printer>");
}

Result<std::string> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return SystemError("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return SystemError("cannot read " + path);
  return text.str();
}

// The walk that holds every printer's lock while the state is saved.
struct SaveWalk {
  pappl_system_t* system;
  std::vector<pappl_printer_t*> printers;
  size_t next = 0;
  std::string path;
  bool saved = false;
};

void CollectPrinter(pappl_printer_t* printer, void* data) { static_cast<SaveWalk*>(data)->printers.push_back(printer); }

void SaveHoldingPrinters(SaveWalk& walk);

struct Level {
  SaveWalk* walk;
  bool entered = false;
};

void SaveInsideJobList(pappl_job_t*, void* data) {
  auto* level = static_cast<Level*>(data);
  level->entered = true;
  SaveHoldingPrinters(*level->walk);
}

// PAPPL holds a printer's lock while it walks the printer's jobs, so the
// save goes on from inside the walk of each printer's first job. A printer
// without jobs has no document being aborted, and is passed as it is.
void SaveHoldingPrinters(SaveWalk& walk) {
  if (walk.next == walk.printers.size()) {
    walk.saved = papplSystemSaveState(walk.system, walk.path.c_str());
    return;
  }
  Level level{&walk};
  papplPrinterIterateAllJobs(walk.printers[walk.next++], SaveInsideJobList, &level, 1, 1);
  if (!level.entered) SaveHoldingPrinters(walk);
}

}  // namespace

bool SaveState(pappl_system_t* system, const std::string& path) {
  SaveWalk walk{system, {}, 0, Beside(path)};
  // The printers are gathered under the system's lock, and their locks are
  // taken after it is given back.
  papplSystemIteratePrinters(system, CollectPrinter, &walk);
  Status done = MakePrivateFile(walk.path);
  if (done) {
    SaveHoldingPrinters(walk);
    if (!walk.saved) done = Error{"PAPPL could not write " + walk.path};
  }
  if (done) {
    const auto text = ReadWhole(walk.path);
    if (!text) {
      done = text.failure();
    } else if (!LooksWhole(*text)) {
      done = Error{walk.path + " was not written whole (is the disk full?)"};
    }
  }
  if (done) done = MoveIntoPlace(walk.path, path);
  if (!done) {
    unlink(walk.path.c_str());
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "The state was not saved, the last saved state stays: %s",
             done.error().c_str());
  }
  return done.ok();
}

Result<std::string> ReadSavedFile(const std::string& path) {
  unlink(Beside(path).c_str());
  if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) return std::string();
  return ReadWhole(path);
}

Status ReplaceSavedFile(const std::string& path, const std::string& text) {
  const std::string written = Beside(path);
  Status done = MakePrivateFile(written);
  if (done) {
    std::ofstream out(written, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) done = SystemError("cannot write " + written);
  }
  if (done) done = MoveIntoPlace(written, path);
  if (!done) unlink(written.c_str());
  return done;
}

}  // namespace kav::app
