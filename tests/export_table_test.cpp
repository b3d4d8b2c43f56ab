// Each plug-in library exports exactly its entry points, read from the file.
#include "export_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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
  const std::set<std::string> expected = {"DllGetClassObject",   "DllCanUnloadNow",       "kavcmp_LoadCompress",
                                          "kavcmp_InitBitmap",   "kavcmp_CompressBitmap", "kavcmp_GetBitmap",
                                          "kavcmp_FinishBitmap", "kavcmp_FreeCompress"};
  EXPECT_EQ(ProductExports("kavrender"), expected);
}

TEST(ExportTableTest, UiLibraryExportsTheComEntriesOnly) {
  const std::set<std::string> expected = {"DllGetClassObject", "DllCanUnloadNow"};
  EXPECT_EQ(ProductExports("kavui"), expected);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// GDI+ (and the JPEG library behind its Linux stand-in) is bound at run time
// through the platform layer, so the render library loads without it.
TEST(ExportTableTest, RenderLibraryLinksNoImageLibrary) {
  const std::set<std::string> libraries = ImportedLibraries(host::PluginBesideProgram("kavrender"));
  const bool foundSystemLibrary = std::any_of(libraries.begin(), libraries.end(), [](const std::string& name) {
    return Lower(name) == "kernel32.dll" || Lower(name).find("kavplatform") != std::string::npos;
  });
  EXPECT_TRUE(foundSystemLibrary) << "the import reader found no entry";
  for (const std::string& name : libraries) {
    EXPECT_EQ(Lower(name).find("gdiplus"), std::string::npos) << name;
    EXPECT_EQ(Lower(name).find("jpeg"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace kav::test
