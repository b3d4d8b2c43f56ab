#include "support/files.h"

#include <filesystem>
#include <fstream>

#include "support/output_file.h"

namespace kav::tools {

std::optional<uint64_t> RegularFileSize(const std::string& path, std::string& error) {
  std::error_code failure;
  const std::filesystem::file_status status = std::filesystem::status(path, failure);
  if (status.type() == std::filesystem::file_type::not_found) {
    error = "cannot open " + path;
    return {};
  }
  if (std::filesystem::is_directory(status)) {
    error = path + " is a folder, not a file";
    return {};
  }
  if (!std::filesystem::is_regular_file(status)) {
    error = "cannot read " + path + " (not a regular file)";
    return {};
  }
  const uintmax_t size = std::filesystem::file_size(path, failure);
  if (failure) {
    error = "cannot read " + path;
    return {};
  }
  return size;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  const std::optional<uint64_t> size = RegularFileSize(path, error);
  if (!size) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  bytes.resize(static_cast<size_t>(*size));
  if (*size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(*size))) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string& error) {
  OutputFile file;
  if (!file.Open(path, error)) return false;
  file.Write(data, size);
  return file.Commit(error);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

}  // namespace kav::tools
