// Files the tools write. An output never replaces a file until it is whole:
// its bytes go to a new temporary file made in the destination's folder,
// which takes the destination's name only on Commit and is removed on every
// other way out (a failed step, an exception, running out of memory). A
// destination that exists and is not a regular file (a folder, a device, a
// FIFO) is refused and left as it is.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "support/result.h"

namespace kav::tools {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Makes the temporary file for `path`.
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
  // Where the bytes are until Commit, for reading them back first.
  const std::string& temporaryPath() const { return temporary_; }

 private:
  void Discard();

  std::string path_;         // as the user named it
  std::string destination_;  // the file it names, through any link
  std::string temporary_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

// Commits every output, or none when one of them could not be completed.
Status CommitAll(const std::vector<OutputFile*>& outputs);

// Refuses an output path that names one of the files the command reads
// (the same file, also through a link or another spelling of the path).
Status CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs);

}  // namespace kav::tools
