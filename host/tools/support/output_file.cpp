#include "support/output_file.h"

#include <filesystem>

#include "support/files.h"

namespace kav::tools {
namespace {

namespace fs = std::filesystem;

// The file a path leads to: a link is followed, so the link stays and its
// target gets the new bytes. A destination that must not be replaced is refused.
Result<std::string> DestinationOf(const std::string& path) {
  std::error_code failure;
  std::string destination = path;
  if (fs::is_symlink(fs::symlink_status(path, failure))) {
    destination = fs::weakly_canonical(path, failure).string();
    if (failure) return Error{"cannot write " + path + " (a link that cannot be followed)"};
  }
  const fs::file_status status = fs::status(destination, failure);
  if (fs::is_directory(status)) return Error{"cannot write " + path + ": it is a folder"};
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    return Error{"cannot write " + path +
                 ": it is not a regular file (a device or a FIFO), which the tools leave alone"};
  }
  return destination;
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
  Result<std::string> destination = DestinationOf(path);
  if (!destination) return destination.failure();
  destination_ = std::move(destination).value();
  file_ = CreateTemporaryFileFor(destination_, temporary_);
  if (file_ == nullptr)
    return Error{"cannot write " + path + " (no new file can be made in " + FolderOf(destination_) + ")"};
  return {};
}

bool OutputFile::Write(const void* data, size_t size) {
  if (file_ == nullptr || failed_) return false;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) failed_ = true;
  return !failed_;
}

Status OutputFile::Finish() {
  if (file_ != nullptr) {
    const bool written = !failed_ && std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    failed_ = !written || !closed;
  }
  if (!failed_ && !temporary_.empty()) return {};
  Discard();
  return Error{"cannot write " + path_};
}

Status OutputFile::Place() {
  if (!temporary_.empty() && file_ == nullptr && MoveIntoPlace(temporary_, destination_)) {
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
