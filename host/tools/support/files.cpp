#include "support/files.h"

#include <filesystem>
#include <fstream>

#include "support/output_file.h"

namespace kav::tools {

Result<uint64_t> RegularFileSize(const std::string& path) {
  std::error_code failure;
  const std::filesystem::file_status status = std::filesystem::status(path, failure);
  if (status.type() == std::filesystem::file_type::not_found) return Error{"cannot open " + path};
  if (std::filesystem::is_directory(status)) return Error{path + " is a folder, not a file"};
  if (!std::filesystem::is_regular_file(status)) return Error{"cannot read " + path + " (not a regular file)"};
  const uintmax_t size = std::filesystem::file_size(path, failure);
  if (failure) return Error{"cannot read " + path};
  return uint64_t{size};
}

Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
  const Result<uint64_t> size = RegularFileSize(path);
  if (!size) return size.failure();
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{"cannot open " + path};
  std::vector<uint8_t> bytes(static_cast<size_t>(*size));
  if (*size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(*size))) {
    return Error{"cannot read " + path};
  }
  return bytes;
}

Status WriteWholeFile(const std::string& path, const void* data, size_t size) {
  OutputFile file;
  if (const Status opened = file.Open(path); !opened) return opened;
  file.Write(data, size);
  return file.Commit();
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

}  // namespace kav::tools
