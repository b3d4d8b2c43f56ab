// The names a shared library exports and the libraries it imports, read from
// the file itself: the export and import directories of a PE DLL, or the
// defined dynamic symbols and the needed entries of an ELF library.
#pragma once

#include <set>
#include <string>

namespace kav::test {

// Throws std::runtime_error for a file that is neither.
std::set<std::string> ExportedNames(const std::string& path);

// The libraries loaded with this one: a PE DLL's imported and delay-loaded
// DLL names, an ELF library's DT_NEEDED entries. Throws as ExportedNames.
std::set<std::string> ImportedLibraries(const std::string& path);

}  // namespace kav::test
