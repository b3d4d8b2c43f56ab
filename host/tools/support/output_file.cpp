#include "support/output_file.h"

#include <filesystem>

#include "support/files.h"

namespace kav::tools {
namespace {

namespace fs = std::filesystem;

// The file a path leads to: a link is followed, so the link stays and its
// target gets the new bytes. Empty with `error` for a destination that must
// not be replaced.
std::string DestinationOf(const std::string& path, std::string& error) {
  std::error_code failure;
  std::string destination = path;
  if (fs::is_symlink(fs::symlink_status(path, failure))) {
    destination = fs::weakly_canonical(path, failure).string();
    if (failure) {
      error = "cannot write " + path + " (a link that cannot be followed)";
      return "";
    }
  }
  const fs::file_status status = fs::status(destination, failure);
  if (fs::is_directory(status)) {
    error = "cannot write " + path + ": it is a folder";
    return "";
  }
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    error = "cannot write " + path + ": it is not a regular file (a device or a FIFO), which the tools leave alone";
    return "";
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

bool OutputFile::Open(const std::string& path, std::string& error) {
  Discard();
  path_ = path;
  failed_ = false;
  destination_ = DestinationOf(path, error);
  if (destination_.empty()) return false;
  file_ = CreateTemporaryFileFor(destination_, temporary_);
  if (file_ == nullptr) {
    error = "cannot write " + path + " (no new file can be made in " + FolderOf(destination_) + ")";
    return false;
  }
  return true;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (file_ == nullptr || failed_) return false;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) failed_ = true;
  return !failed_;
}

bool OutputFile::Finish(std::string& error) {
  if (file_ != nullptr) {
    const bool written = !failed_ && std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    failed_ = !written || !closed;
  }
  if (!failed_ && !temporary_.empty()) return true;
  Discard();
  error = "cannot write " + path_;
  return false;
}

bool OutputFile::Place(std::string& error) {
  if (!temporary_.empty() && file_ == nullptr && MoveIntoPlace(temporary_, destination_)) {
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
