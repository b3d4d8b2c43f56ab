// Files the tools write. An output never replaces a file until it is whole:
// its bytes go to a new temporary file made in the destination's folder,
// which takes the destination's name only on Commit and is removed on every
// other way out (a failed step, an exception, running out of memory). A
// character device or a FIFO (/dev/null, a pipe) is written directly: there
// is no file to replace, nothing is renamed, and nothing is removed on
// failure, since the tool did not make it. A folder, or any other kind of
// file, is refused and left as it is.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "host/result.h"

namespace kav::tools {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Makes the temporary file for `path`, or opens the device or FIFO it
  // names (which waits for a FIFO's reader).
  Status Open(const std::string& path);
  // False once any write has failed; the failure is reported by Commit.
  bool Write(const void* data, size_t size);
  // Closes the temporary file and moves it into place.
  Status Commit();
  // The two halves of Commit: closing (false when any byte was lost; a
  // second call answers the same) and taking the destination's name.
  Status Finish();
  Status Place();

  const std::string& path() const { return path_; }

 private:
  void Discard();
  void Fail();

  std::string path_;         // as the user named it
  std::string destination_;  // the file it names, through any link
  std::string temporary_;
  std::FILE* file_ = nullptr;
  bool direct_ = false;  // a device or FIFO: no temporary file
  bool failed_ = false;
  std::string failure_;  // why the first failed call failed, as ": reason"
};

// Commits every output, or none when one of them could not be completed.
Status CommitAll(const std::vector<OutputFile*>& outputs);

// Refuses an output path that names one of the files the command reads
// (the same file, also through a link or another spelling of the path).
Status CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs);

}  // namespace kav::tools
