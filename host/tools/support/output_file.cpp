#include "support/output_file.h"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "support/files.h"

namespace kav::tools {
namespace {

namespace fs = std::filesystem;

// Where an output's bytes go.
struct Destination {
  std::string path;     // the file that gets the bytes, through any link
  bool direct = false;  // a character device or FIFO, written as it is
};

// A regular file, or none yet, is replaced; a link is followed, so the link
// stays and its target gets the new bytes. A character device or a FIFO
// (/dev/null, a pipe) is written as it is. Empty with `error` for anything
// else.
std::optional<Destination> DestinationOf(const std::string& path, std::string& error) {
  std::error_code failure;
  const fs::file_status status = fs::status(path, failure);
  if (fs::is_directory(status)) {
    error = "cannot write " + path + ": it is a folder";
    return {};
  }
  if (IsDeviceOrFifo(path)) return Destination{path, true};
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    error = "cannot write " + path +
            ": it is not a regular file, a character device or a FIFO, which the tools leave alone";
    return {};
  }
  if (!fs::is_symlink(fs::symlink_status(path, failure))) return Destination{path, false};
  const fs::path target = fs::weakly_canonical(path, failure);
  if (!failure) return Destination{target.string(), false};
  error = "cannot write " + path + " (a link that cannot be followed)";
  return {};
}

// Why the last file call failed, as ": reason", or nothing when it does not say.
std::string LastFailure() {
  const int code = errno;
  return code == 0 ? "" : ": " + std::generic_category().message(code);
}

// Two paths that are one file, or would be once made.
bool SamePlace(const std::string& a, const std::string& b) {
  const std::optional<FileIdentity> first = IdentityOf(a);
  const std::optional<FileIdentity> second = IdentityOf(b);
  if (first && second) return *first == *second;
  if (first || second) return false;
  std::error_code failure;
  const fs::path left = fs::weakly_canonical(a, failure);
  if (failure) return false;
  const fs::path right = fs::weakly_canonical(b, failure);
  return !failure && left == right;
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) RemoveFile(temporary_);
  temporary_.clear();
}

bool OutputFile::Open(const std::string& path, std::string& error) {
  Discard();
  path_ = path;
  failed_ = false;
  failure_.clear();
  const std::optional<Destination> destination = DestinationOf(path, error);
  if (!destination) return false;
  destination_ = destination->path;
  direct_ = destination->direct;
  if (direct_) {
    errno = 0;
    file_ = OpenDeviceForWriting(destination_);
    if (file_ == nullptr) error = "cannot write " + path + LastFailure();
    return file_ != nullptr;
  }
  file_ = CreateTemporaryFileFor(destination_, temporary_);
  if (file_ == nullptr) {
    error = "cannot write " + path + " (no new file can be made in " + FolderOf(destination_) + ")";
    return false;
  }
  return true;
}

void OutputFile::Fail() {
  if (!failed_) failure_ = LastFailure();
  failed_ = true;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (file_ == nullptr || failed_) return false;
  errno = 0;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) Fail();
  return !failed_;
}

bool OutputFile::Finish(std::string& error) {
  if (file_ != nullptr) {
    errno = 0;
    if (!failed_ && std::fflush(file_) != 0) Fail();
    errno = 0;
    if (std::fclose(file_) != 0) Fail();
    file_ = nullptr;
  }
  if (!failed_ && (direct_ || !temporary_.empty())) return true;
  Discard();
  error = "cannot write " + path_ + failure_;
  return false;
}

bool OutputFile::Place(std::string& error) {
  const bool finished = file_ == nullptr && !failed_;
  if (finished && direct_) return true;  // its bytes are there already
  if (finished && !temporary_.empty() && MoveIntoPlace(temporary_, destination_)) {
    temporary_.clear();
    return true;
  }
  Discard();
  error = "cannot write " + path_;
  return false;
}

bool OutputFile::Commit(std::string& error) { return Finish(error) && Place(error); }

bool CommitAll(const std::vector<OutputFile*>& outputs, std::string& error) {
  // Every file is closed and checked before the first one takes its name.
  for (OutputFile* output : outputs) {
    if (!output->Finish(error)) return false;
  }
  for (OutputFile* output : outputs) {
    if (!output->Place(error)) return false;
  }
  return true;
}

bool CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs, std::string& error) {
  for (const std::string& input : inputs) {
    if (!input.empty() && SamePlace(output, input)) {
      error = output + " is " + input + ", which this command reads; name another output";
      return false;
    }
  }
  return true;
}

}  // namespace kav::tools
