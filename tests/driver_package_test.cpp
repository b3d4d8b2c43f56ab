// The Windows driver package, its parts read as they refer to each other:
// the INF (on Windows through the system's own INF parser, which installs
// it), the plug-in configuration file, the printer description and the
// plug-ins. Each check answers the faults it finds, so a fault planted in a
// copy of a part is shown to be found.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// setupapi.h takes its types from windows.h.
#include <setupapi.h>
#endif

#include "host/plugin_library.h"
#include "host/printer_description.h"
#include "host/render_session.h"

namespace kav::test {
namespace {

namespace fs = std::filesystem;

using Faults = std::vector<std::string>;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Source(const std::string& name) { return std::string(KAV_PACKAGE_SOURCE) + "/" + name; }

// The folder of the running test's planted files (tests run side by side).
std::string PlantedFolder() {
  return std::string("planted_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// A copy of the package's file `name` with `from` made `to`, under its own
// name in the running test's folder; its path.
std::string Planted(const std::string& name, const std::string& from, const std::string& to) {
  std::string text = ReadText(Source(name));
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  fs::create_directories(PlantedFolder());
  const std::string path = PlantedFolder() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  return path;
}

// What a reader of an INF (or of the configuration file, written alike)
// answers: whether a section is there, the values of a line by its key, and
// the key of each line (its first field where it has no key).
class InfReading {
 public:
  virtual ~InfReading() = default;
  virtual bool Has(const std::string& section) const = 0;
  virtual std::optional<std::vector<std::string>> Values(const std::string& section, const std::string& key) const = 0;
  virtual std::vector<std::string> Keys(const std::string& section) const = 0;
};

// Our own reading of the text: "[section]" (any letter case), "key = a, b"
// and "a, b" lines, ";" comments, quoted fields, %strings% from [Strings].
class TextInf final : public InfReading {
 public:
  explicit TextInf(const std::string& path) {
    std::istringstream lines(ReadText(path));
    std::string section;
    for (std::string line; std::getline(lines, line);) {
      line = Trim(WithoutComment(line));
      if (line.empty()) continue;
      if (line.front() == '[') {
        section = Lower(line.substr(1, line.find(']') - 1));
        sections_[section];
        continue;
      }
      const size_t equals = OutsideQuotes(line, '=');
      Line read;
      read.fields = Fields(equals == std::string::npos ? line : line.substr(equals + 1));
      read.key = equals == std::string::npos ? read.fields.front() : Unquoted(Trim(line.substr(0, equals)));
      sections_[section].push_back(std::move(read));
    }
    for (auto& [name, read] : sections_) {
      for (Line& line : read) {
        line.key = Substituted(line.key);
        for (std::string& field : line.fields) field = Substituted(field);
      }
    }
  }

  bool Has(const std::string& section) const override { return sections_.count(Lower(section)) != 0; }

  std::optional<std::vector<std::string>> Values(const std::string& section, const std::string& key) const override {
    const auto found = sections_.find(Lower(section));
    if (found == sections_.end()) return std::nullopt;
    for (const Line& line : found->second) {
      if (Lower(line.key) == Lower(key)) return line.fields;
    }
    return std::nullopt;
  }

  std::vector<std::string> Keys(const std::string& section) const override {
    std::vector<std::string> keys;
    const auto found = sections_.find(Lower(section));
    if (found == sections_.end()) return keys;
    for (const Line& line : found->second) keys.push_back(line.key);
    return keys;
  }

 private:
  struct Line {
    std::string key;
    std::vector<std::string> fields;
  };

  static std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
  }
  static size_t OutsideQuotes(const std::string& text, char wanted) {
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '"') quoted = !quoted;
      if (!quoted && text[i] == wanted) return i;
    }
    return std::string::npos;
  }
  static std::string WithoutComment(const std::string& line) { return line.substr(0, OutsideQuotes(line, ';')); }
  static std::string Unquoted(const std::string& field) {
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"') return field.substr(1, field.size() - 2);
    return field;
  }
  static std::vector<std::string> Fields(std::string text) {
    std::vector<std::string> fields;
    while (true) {
      const size_t comma = OutsideQuotes(text, ',');
      fields.push_back(Unquoted(Trim(text.substr(0, comma))));
      if (comma == std::string::npos) return fields;
      text = text.substr(comma + 1);
    }
  }
  std::string Substituted(const std::string& text) const {
    const size_t open = text.find('%');
    const size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) return text;
    const std::optional<std::vector<std::string>> value = Values("Strings", text.substr(open + 1, close - open - 1));
    if (!value) return text;  // left as it is, which the checks find
    return text.substr(0, open) + value->front() + Substituted(text.substr(close + 1));
  }

  std::map<std::string, std::vector<Line>> sections_;
};

#ifdef _WIN32
// The INF as the system reads it (setupapi). The file is ASCII, so its
// texts pass between the two widths character by character.
class SystemInf final : public InfReading {
 public:
  static std::unique_ptr<SystemInf> Open(const std::string& path, std::string& error) {
    UINT errorLine = 0;
    const std::wstring name = fs::absolute(path).wstring();
    const HINF inf = SetupOpenInfFileW(name.c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
    if (inf == INVALID_HANDLE_VALUE) {
      error = "SetupOpenInfFileW refused " + path + " (error " + std::to_string(GetLastError()) + ", line " +
              std::to_string(errorLine) + ")";
      return nullptr;
    }
    return std::unique_ptr<SystemInf>(new SystemInf(inf));
  }
  ~SystemInf() override { SetupCloseInfFile(inf_); }

  bool Has(const std::string& section) const override { return SetupGetLineCountW(inf_, Wide(section).c_str()) >= 0; }

  std::optional<std::vector<std::string>> Values(const std::string& section, const std::string& key) const override {
    INFCONTEXT context;
    if (!SetupFindFirstLineW(inf_, Wide(section).c_str(), Wide(key).c_str(), &context)) return std::nullopt;
    std::vector<std::string> values;
    const DWORD count = SetupGetFieldCount(&context);
    for (DWORD i = 1; i <= count; ++i) values.push_back(Field(context, i).value_or(""));
    return values;
  }

  std::vector<std::string> Keys(const std::string& section) const override {
    std::vector<std::string> keys;
    INFCONTEXT context;
    for (bool more = SetupFindFirstLineW(inf_, Wide(section).c_str(), nullptr, &context); more;
         more = SetupFindNextLine(&context, &context)) {
      std::optional<std::string> key = Field(context, 0);
      keys.push_back(key ? *key : Field(context, 1).value_or(""));
    }
    return keys;
  }

 private:
  explicit SystemInf(HINF inf) : inf_(inf) {}
  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
  static std::optional<std::string> Field(INFCONTEXT& context, DWORD index) {
    WCHAR buffer[512];
    DWORD needed = 0;
    if (!SetupGetStringFieldW(&context, index, buffer, 512, &needed)) return std::nullopt;
    std::string text;
    for (const WCHAR* c = buffer; *c != 0; ++c) text.push_back(static_cast<char>(*c));
    return text;
  }

  HINF inf_;
};
#endif

// The INF at `path`, as the build reads it: the system's parser on Windows,
// our own elsewhere.
std::unique_ptr<InfReading> OpenInf(const std::string& path) {
#ifdef _WIN32
  std::string error;
  std::unique_ptr<InfReading> inf = SystemInf::Open(path, error);
  EXPECT_TRUE(inf) << error;
  return inf;
#else
  return std::make_unique<TextInf>(path);
#endif
}

std::string First(const std::optional<std::vector<std::string>>& values) {
  return values && !values->empty() ? values->front() : std::string();
}

// What the INF's model installs, and the faults found on the way there.
struct Installed {
  std::set<std::string> files;  // the files it copies, by lower-case name
  std::string dataFile;
  Faults faults;
};

// The sections the INF names, followed from its manufacturer to the files
// its model copies; every section named must be there.
Installed FollowInf(const InfReading& inf, const std::string& modelName) {
  Installed installed;
  Faults& faults = installed.faults;
  const auto need = [&](const std::string& section) {
    if (!inf.Has(section)) faults.push_back("no section [" + section + "]");
    return inf.Has(section);
  };
  if (Lower(First(inf.Values("Version", "Class"))) != "printer") faults.push_back("[Version] Class is not Printer");
  if (Lower(First(inf.Values("Version", "ClassGUID"))) != "{4d36e979-e325-11ce-bfc1-08002be10318}") {
    faults.push_back("[Version] ClassGUID is not the printer class");
  }
  if (First(inf.Values("Version", "DriverVer")).empty()) faults.push_back("[Version] has no DriverVer");
  const std::vector<std::string> makers = inf.Keys("Manufacturer");
  if (makers.size() != 1) faults.push_back("[Manufacturer] names " + std::to_string(makers.size()) + " makers");
  if (makers.empty()) return installed;
  const std::vector<std::string> maker =
      inf.Values("Manufacturer", makers.front()).value_or(std::vector<std::string>{});
  if (std::find(maker.begin(), maker.end(), "NTamd64") == maker.end()) {
    faults.push_back("the models are not decorated for x64 (NTamd64)");
  }
  const std::string models = First(maker) + ".NTamd64";
  if (!need(models)) return installed;
  const std::vector<std::string> names = inf.Keys(models);
  if (names != std::vector<std::string>{modelName}) faults.push_back("the model is not the description's " + modelName);
  if (names.empty()) return installed;
  const std::string install = First(inf.Values(models, names.front()));
  if (!need(install)) return installed;
  installed.dataFile = First(inf.Values(install, "DataFile"));
  for (const std::string& copied : inf.Values(install, "CopyFiles").value_or(std::vector<std::string>{})) {
    if (!copied.empty() && copied.front() == '@') {
      installed.files.insert(Lower(copied.substr(1)));
    } else if (need(copied)) {
      for (const std::string& file : inf.Keys(copied)) installed.files.insert(Lower(file));
      if (!inf.Values("DestinationDirs", copied) && !inf.Values("DestinationDirs", "DefaultDestDir")) {
        faults.push_back("no destination for [" + copied + "]");
      }
    }
  }
  // A package-aware driver on the core driver the system provides.
  const std::string core = First(inf.Values(install, "CoreDriverSections"));
  if (need("PrinterPackageInstallation.amd64")) {
    if (Lower(First(inf.Values("PrinterPackageInstallation.amd64", "PackageAware"))) != "true") {
      faults.push_back("the driver is not package-aware");
    }
    if (core.empty() || First(inf.Values("PrinterPackageInstallation.amd64", "CoreDriverDependencies")) != core) {
      faults.push_back("the core driver sections are not those of the core driver it depends on");
    }
  }
  std::set<std::string> sources;
  if (need("SourceDisksFiles.amd64") && need("SourceDisksNames.amd64")) {
    const std::vector<std::string> disks = inf.Keys("SourceDisksNames.amd64");
    for (const std::string& file : inf.Keys("SourceDisksFiles.amd64")) {
      sources.insert(Lower(file));
      if (std::find(disks.begin(), disks.end(), First(inf.Values("SourceDisksFiles.amd64", file))) == disks.end()) {
        faults.push_back(file + " is on no disk [SourceDisksNames.amd64] names");
      }
    }
  }
  if (sources != installed.files) faults.push_back("[SourceDisksFiles.amd64] does not list the files copied");
  return installed;
}

// The faults of the package whose INF, configuration file and description
// are at these paths: the INF must install the description (its model and
// its file) and both plug-ins, the configuration file name the plug-ins,
// the description name the UI plug-in as its resource DLL.
Faults PackageFaults(const std::string& infPath, const std::string& iniPath, const std::string& gpdPath) {
  const auto description = host::PrinterDescription::Read(gpdPath);
  if (!description) return {description.error()};
  const std::unique_ptr<InfReading> inf = OpenInf(infPath);
  if (!inf) return {"the INF does not open"};
  Installed installed = FollowInf(*inf, description->Name("ModelName"));
  Faults& faults = installed.faults;
  const std::string gpdName = description->Name("GPDFileName");
  if (installed.dataFile != gpdName || Lower(gpdName) != Lower(fs::path(gpdPath).filename().string())) {
    faults.push_back("the data file " + installed.dataFile + " is not the description " + gpdName);
  }
  const TextInf ini(iniPath);
  const std::string render = First(ini.Values("OEMFiles", "OEMDriverFile1"));
  const std::string ui = First(ini.Values("OEMFiles", "OEMConfigFile1"));
  if (Lower(render) != KAV_RENDER_DLL) faults.push_back("the render plug-in is " + render + ", not " KAV_RENDER_DLL);
  if (Lower(ui) != KAV_UI_DLL) faults.push_back("the UI plug-in is " + ui + ", not " KAV_UI_DLL);
  if (Lower(description->Name("ResourceDLL")) != Lower(ui))
    faults.push_back("the description's strings are not in " + ui);
  std::set<std::string> driver;
  for (const std::string& file : {gpdName, fs::path(iniPath).filename().string(), render, ui}) {
    driver.insert(Lower(file));
    if (installed.files.count(Lower(file)) == 0) faults.push_back("the INF does not copy " + file);
  }
  for (const std::string& file : installed.files) {
    if (driver.count(file) == 0) faults.push_back("the INF copies " + file + ", no part of the driver");
  }
  return faults;
}

TEST(DriverPackageTest, TheInfInstallsTheDescriptionAndThePluginsItsPartsName) {
  EXPECT_EQ(PackageFaults(Source("kav.inf"), Source("kav.ini"), Source("kav.gpd")), Faults{});
  const struct {
    std::string file, from, to, fault;
  } planted[] = {
      {"kav.inf", "DataFile=kav.gpd", "DataFile=kav2.gpd", "the data file kav2.gpd"},
      {"kav.inf", "\"KAV page printer\"=KAV_PAGE", "\"KAV printer\"=KAV_PAGE", "the model is not"},
      {"kav.inf", "CopyFiles=KAV_FILES", "CopyFiles=KAV_FILE", "no section [KAV_FILE]"},
      {"kav.inf", "kavui.dll=1", "kavui.dll=2", "kavui.dll is on no disk"},
      {"kav.inf", "kav.ini=1\r\n", "", "[SourceDisksFiles.amd64] does not list"},
      {"kav.inf", "kavui.dll\r\n", "kavui.dll\r\nkavui.pdb\r\n", "the INF copies kavui.pdb"},
      {"kav.inf", "%Manufacturer%=KAV,NTamd64", "%Manufacturer%=KAV,NTx86", "the models are not decorated"},
      {"kav.ini", "OEMConfigFile1=kavui.dll", "OEMConfigFile1=kavuix.dll", "the UI plug-in is kavuix.dll"},
      {"kav.gpd", "*ResourceDLL: \"kavui.dll\"", "*ResourceDLL: \"kavrender.dll\"", "the description's strings"},
      {"kav.gpd", "*ModelName: \"KAV page printer\"", "*ModelName: \"KAV printer\"", "the model is not"},
  };
  for (const auto& p : planted) {
    SCOPED_TRACE(p.file + ": " + p.to);
    const auto part = [&](const std::string& name) {
      return p.file == name ? Planted(name, p.from, p.to) : Source(name);
    };
    const Faults faults = PackageFaults(part("kav.inf"), part("kav.ini"), part("kav.gpd"));
    EXPECT_TRUE(std::any_of(faults.begin(), faults.end(), [&](const std::string& f) { return f.find(p.fault) == 0; }))
        << ::testing::PrintToString(faults);
  }
  fs::remove_all(PlantedFolder());
}

// Every callback of the description writes the printer's command: the
// plug-in answers every id it does not know with S_OK and no bytes.
Faults UnansweredCallbacks(const host::PrinterDescription& description) {
  host::RenderSession session;
  std::string error;
  if (!session.Open(host::PluginBesideProgram("kavrender"), error)) return {error};
  session.helper().SetSetting("Orientation", "PORTRAIT");
  session.helper().SetSetting("Rotation", "FALSE");
  if (FAILED(session.EnableDevice())) return {"EnablePDEV failed"};
  std::vector<host::DescribedCommand> commands = description.generalCommands();
  for (const host::Feature& feature : description.features()) {
    for (const host::Option& option : feature.options) {
      commands.insert(commands.end(), option.commands.begin(), option.commands.end());
    }
  }
  const auto sheet = description.SheetOf(description.defaults().paper);
  Faults faults;
  for (const host::DescribedCommand& command : commands) {
    if (!command.callbackId) continue;
    session.helper().ClearWrites();
    const std::vector<uint32_t> values = host::PrinterDescription::ParamValues(command, *sheet);
    session.Command(*command.callbackId, nullptr, std::vector<DWORD>(values.begin(), values.end()));
    if (session.helper().writes().empty()) faults.push_back("callback " + std::to_string(*command.callbackId));
  }
  return faults;
}

TEST(DriverPackageTest, EveryCallbackOfTheDescriptionIsACommandThePluginWrites) {
  const auto packaged = host::PrinterDescription::Read(Source("kav.gpd"));
  ASSERT_TRUE(packaged.ok()) << packaged.error();
  EXPECT_EQ(UnansweredCallbacks(*packaged), Faults{});
  const auto planted = host::PrinterDescription::Read(Planted("kav.gpd", "*CallbackID: 250", "*CallbackID: 251"));
  ASSERT_TRUE(planted.ok()) << planted.error();
  EXPECT_EQ(UnansweredCallbacks(*planted), Faults{"callback 251"});
  fs::remove_all(PlantedFolder());
}

#ifdef _WIN32
// The folder the Windows build assembles holds what the INF copies, and the
// INF itself, each the file it was made from.
TEST(DriverPackageTest, TheAssembledFolderIsWhatTheInfCopies) {
  const auto description = host::PrinterDescription::Read(Source("kav.gpd"));
  ASSERT_TRUE(description.ok()) << description.error();
  const std::unique_ptr<InfReading> inf = OpenInf(std::string(KAV_PACKAGE_FOLDER) + "/kav.inf");
  ASSERT_TRUE(inf);
  const Installed installed = FollowInf(*inf, description->Name("ModelName"));
  EXPECT_EQ(installed.faults, Faults{});
  std::set<std::string> expected = installed.files;
  expected.insert("kav.inf");
  std::set<std::string> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(KAV_PACKAGE_FOLDER)) {
    found.insert(Lower(entry.path().filename().string()));
  }
  EXPECT_EQ(found, expected);
  const std::map<std::string, std::string> made = {{"kav.inf", Source("kav.inf")},
                                                   {"kav.ini", Source("kav.ini")},
                                                   {"kav.gpd", Source("kav.gpd")},
                                                   {KAV_RENDER_DLL, host::PluginBesideProgram("kavrender")},
                                                   {KAV_UI_DLL, host::PluginBesideProgram("kavui")}};
  for (const auto& [name, from] : made) {
    EXPECT_TRUE(ReadText(std::string(KAV_PACKAGE_FOLDER) + "/" + name) == ReadText(from)) << name << " is stale";
  }
}
#endif

}  // namespace
}  // namespace kav::test
