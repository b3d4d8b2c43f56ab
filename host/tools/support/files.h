// Whole-file reads and writes for the tools, with errors a user can act on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kav::tools {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string& error);

// The folder part of a path ("." when there is none), for files named
// relative to another file.
std::string FolderOf(const std::string& path);

}  // namespace kav::tools
