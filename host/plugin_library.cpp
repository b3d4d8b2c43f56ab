#include "host/plugin_library.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/wide_text.h"

namespace kav::host {

std::string ProgramFolder() {
  WCHAR buffer[4096];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 4096);
  std::string path = ToUtf8({buffer, length});
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string PluginBesideProgram(const std::string& name) { return ProgramFolder() + "/" + name + KAV_PLUGIN_SUFFIX; }

namespace {

// `file` beside the running program, else in `folder` relative to it.
std::string ProgramFile(const std::string& file, const char* folder) {
  std::string beside = ProgramFolder() + "/" + file;
  std::error_code error;
  if (std::filesystem::exists(beside, error)) return beside;
  return ProgramFolder() + "/" + folder + "/" + file;
}

}  // namespace

std::string ProgramPlugin(const std::string& name) { return ProgramFile(name + KAV_PLUGIN_SUFFIX, KAV_PLUGIN_FOLDER); }

std::string ProgramDescription() { return ProgramFile("kav.gpd", KAV_DESCRIPTION_FOLDER); }

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept { *this = std::move(other); }

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
  if (this != &other) {
    Unload();
    module_ = std::exchange(other.module_, nullptr);
    getClassObject_ = std::exchange(other.getClassObject_, nullptr);
    canUnloadNow_ = std::exchange(other.canUnloadNow_, nullptr);
    path_ = std::move(other.path_);
  }
  return *this;
}

PluginLibrary::~PluginLibrary() { Unload(); }

// As the COM runtime does, a library that says it cannot be unloaded stays.
void PluginLibrary::Unload() {
  if (module_ != nullptr && canUnloadNow_ != nullptr && canUnloadNow_() == S_OK) FreeLibrary(module_);
  module_ = nullptr;
}

bool PluginLibrary::Load(const std::string& path, std::string& error) {
  Unload();
  const WideString widePath = ToWide(path);
  HMODULE module = LoadLibraryW(widePath.c_str());
  if (module == nullptr) {
    error = "cannot load the plug-in library " + path;
    return false;
  }
  auto getClassObject = ProcAs<DllGetClassObjectFn>(GetProcAddress(module, "DllGetClassObject"));
  auto canUnloadNow = ProcAs<DllCanUnloadNowFn>(GetProcAddress(module, "DllCanUnloadNow"));
  if (getClassObject == nullptr || canUnloadNow == nullptr) {
    FreeLibrary(module);
    error = path + " is not a COM plug-in library (no DllGetClassObject or DllCanUnloadNow)";
    return false;
  }
  module_ = module;
  getClassObject_ = getClassObject;
  canUnloadNow_ = canUnloadNow;
  path_ = path;
  return true;
}

HRESULT PluginLibrary::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const {
  return getClassObject_(clsid, riid, ppv);
}

HRESULT PluginLibrary::CanUnloadNow() const { return canUnloadNow_(); }

FARPROC PluginLibrary::Find(const char* name) const { return GetProcAddress(module_, name); }

IUnknown* PluginLibrary::CreateObject(REFCLSID clsid, REFIID riid, std::string& error) const {
  IClassFactory* factory = nullptr;
  HRESULT hr = GetClassObject(clsid, kIidClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr) || factory == nullptr) {
    error = "the library gives no class factory for the plug-in class";
    return nullptr;
  }
  IUnknown* object = nullptr;
  hr = factory->CreateInstance(nullptr, riid, reinterpret_cast<void**>(&object));
  factory->Release();
  if (FAILED(hr) || object == nullptr) {
    error = "the class factory made no plug-in object";
    return nullptr;
  }
  return object;
}

}  // namespace kav::host
