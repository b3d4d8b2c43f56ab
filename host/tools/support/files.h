// Whole-file reads and writes for the tools, with errors a user can act on,
// and the few file-system calls that differ between the builds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "host/result.h"

namespace kav::tools {

// Reads a regular file; a folder, a device or a FIFO is refused before it is
// opened, so a FIFO cannot block the tool.
Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path);
// Writes through an OutputFile: the file is replaced only when whole.
Status WriteWholeFile(const std::string& path, const void* data, size_t size);
// The size of a regular file, refused as ReadWholeFile refuses it.
Result<uint64_t> RegularFileSize(const std::string& path);

// The folder part of a path ("." when there is none), for files named
// relative to another file.
std::string FolderOf(const std::string& path);

// Which file a path leads to: the device (volume) and the file's number on
// it. Two paths name the same file exactly when their identities are equal.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::string& path);

// A new file made exclusively in the folder of `destination` (a regular
// file or none yet), open for writing, with the permissions the destination
// has or a new file would get; its name in `temporary`. Null on failure.
std::FILE* CreateTemporaryFileFor(const std::string& destination, std::string& temporary);
// A write to a pipe whose reader has gone then fails, and the tool says so,
// instead of the system ending the tool without a word (Windows does that
// already).
void FailWritesToClosedPipes();
// Whether `path` names a character device or a FIFO (/dev/null, a named
// pipe; NUL on Windows), which an output writes as it is.
bool IsDeviceOrFifo(const std::string& path);
// Opens an existing character device or FIFO for writing as it is: nothing
// is made or emptied, and a path that is no longer one is refused. Opening a
// FIFO waits for its reader. Null on failure.
std::FILE* OpenDeviceForWriting(const std::string& path);
// Gives `temporary` the name `destination`, replacing the file there.
bool MoveIntoPlace(const std::string& temporary, const std::string& destination);
void RemoveFile(const std::string& path);

}  // namespace kav::tools
