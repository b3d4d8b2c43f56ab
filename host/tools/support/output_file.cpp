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
// (/dev/null, a pipe) is written as it is. Anything else is refused.
Result<Destination> DestinationOf(const std::string& path) {
  std::error_code failure;
  const fs::file_status status = fs::status(path, failure);
  if (fs::is_directory(status)) return Error{"cannot write " + path + ": it is a folder"};
  if (IsDeviceOrFifo(path)) return Destination{path, true};
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    return Error{"cannot write " + path +
                 ": it is not a regular file, a character device or a FIFO, which the tools leave alone"};
  }
  if (!fs::is_symlink(fs::symlink_status(path, failure))) return Destination{path, false};
  const fs::path target = fs::weakly_canonical(path, failure);
  if (!failure) return Destination{target.string(), false};
  return Error{"cannot write " + path + " (a link that cannot be followed)"};
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

Status OutputFile::Open(const std::string& path) {
  Discard();
  path_ = path;
  failed_ = false;
  failure_.clear();
  const Result<Destination> destination = DestinationOf(path);
  if (!destination) return destination.failure();
  destination_ = destination->path;
  direct_ = destination->direct;
  if (direct_) {
    errno = 0;
    file_ = OpenDeviceForWriting(destination_);
    if (file_ == nullptr) return Error{"cannot write " + path + LastFailure()};
    return {};
  }
  file_ = CreateTemporaryFileFor(destination_, temporary_);
  if (file_ == nullptr)
    return Error{"cannot write " + path + " (no new file can be made in " + FolderOf(destination_) + ")"};
  return {};
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

Status OutputFile::Finish() {
  if (file_ != nullptr) {
    errno = 0;
    if (!failed_ && std::fflush(file_) != 0) Fail();
    errno = 0;
    if (std::fclose(file_) != 0) Fail();
    file_ = nullptr;
  }
  if (!failed_ && (direct_ || !temporary_.empty())) return {};
  Discard();
  return Error{"cannot write " + path_ + failure_};
}

Status OutputFile::Place() {
  const bool finished = file_ == nullptr && !failed_;
  if (finished && direct_) return {};  // its bytes are there already
  if (finished && !temporary_.empty() && MoveIntoPlace(temporary_, destination_)) {
    temporary_.clear();
    return {};
  }
  Discard();
  return Error{"cannot write " + path_};
}

Status OutputFile::Commit() {
  if (const Status finished = Finish(); !finished) return finished;
  return Place();
}

Status CommitAll(const std::vector<OutputFile*>& outputs) {
  // Every file is closed and checked before the first one takes its name.
  for (OutputFile* output : outputs) {
    if (const Status finished = output->Finish(); !finished) return finished;
  }
  for (OutputFile* output : outputs) {
    if (const Status placed = output->Place(); !placed) return placed;
  }
  return {};
}

Status CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    if (!input.empty() && SamePlace(output, input)) {
      return Error{output + " is " + input + ", which this command reads; name another output"};
    }
  }
  return {};
}

}  // namespace kav::tools
