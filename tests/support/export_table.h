// The names a shared library exports, read from the file itself: the export
// directory of a PE DLL or the defined dynamic symbols of an ELF library.
#pragma once

#include <set>
#include <string>

namespace kav::test {

// Throws std::runtime_error for a file that is neither.
std::set<std::string> ExportedNames(const std::string& path);

}  // namespace kav::test
