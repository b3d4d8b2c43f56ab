// Each plug-in library exports exactly its entry points, read from the file.
#include "export_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/plugin_library.h"

namespace kav::test {
namespace {

// Entries the toolchain puts into every ELF library's dynamic table.
const std::set<std::string> kToolchainEntries = {"_init", "_fini"};

std::set<std::string> ProductExports(const std::string& name) {
  std::set<std::string> names = ExportedNames(host::PluginBesideProgram(name));
  for (const std::string& entry : kToolchainEntries) names.erase(entry);
  return names;
}

TEST(ExportTableTest, RenderLibraryExportsTheComEntriesAndTheCodec) {
  const std::set<std::string> expected = {"DllGetClassObject", "DllCanUnloadNow"};
  EXPECT_EQ(ProductExports("kavrender"), expected);
}

TEST(ExportTableTest, UiLibraryExportsTheComEntriesOnly) {
  const std::set<std::string> expected = {"DllGetClassObject", "DllCanUnloadNow"};
  EXPECT_EQ(ProductExports("kavui"), expected);
}

}  // namespace
}  // namespace kav::test
