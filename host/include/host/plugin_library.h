// A plug-in library loaded by path, the way the printer host loads it.
#pragma once

#include <string>

#include "platform/oem.h"

namespace kav::host {

// An export as a function of type Fn, cast through void(*)(), the one cast
// between function types that the compilers accept without a warning.
template <class Fn>
Fn ProcAs(FARPROC proc) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

// The folder of the running program, where the plug-ins are built and installed.
std::string ProgramFolder();

// The path of plug-in `name` (without suffix) beside the running program.
std::string PluginBesideProgram(const std::string& name);

// The plug-in `name` of the running program: the one beside it (a build's
// folder), else the one in the plug-in folder an installation puts relative
// to it (KAV_PLUGIN_FOLDER), so an installed or unpacked program finds its
// own wherever its tree was put.
std::string ProgramPlugin(const std::string& name);

// The packaged printer description (kav.gpd) of the running program, found
// as ProgramPlugin finds a plug-in (KAV_DESCRIPTION_FOLDER when installed).
std::string ProgramDescription();

class PluginLibrary {
 public:
  PluginLibrary() = default;
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;
  PluginLibrary(PluginLibrary&& other) noexcept;
  PluginLibrary& operator=(PluginLibrary&& other) noexcept;
  ~PluginLibrary();

  // Loads the library and finds its two COM entry points; on failure the
  // answer is false and `error` says why.
  bool Load(const std::string& path, std::string& error);

  bool loaded() const { return module_ != nullptr; }
  // The handle LoadLibraryW gave, for the module's resources.
  HMODULE module() const { return module_; }
  const std::string& path() const { return path_; }

  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const;
  HRESULT CanUnloadNow() const;
  FARPROC Find(const char* name) const;
  // An export as a function of type Fn.
  template <class Fn>
  Fn FindAs(const char* name) const {
    return ProcAs<Fn>(Find(name));
  }

  // Creates the plug-in object of class `clsid` through the class factory,
  // as the host does; returns the interface `riid` or null.
  IUnknown* CreateObject(REFCLSID clsid, REFIID riid, std::string& error) const;

  // The host's start with a plug-in: the object of `clsid` answering `riid`,
  // with `helper` published to it; null with `error` set when a step fails.
  template <class Interface>
  Interface* CreatePlugin(REFCLSID clsid, REFIID riid, IUnknown* helper, std::string& error) const {
    auto* plugin = static_cast<Interface*>(CreateObject(clsid, riid, error));
    if (plugin != nullptr && FAILED(plugin->PublishDriverInterface(helper))) {
      error = "the plug-in refused the driver helper";
      plugin->Release();
      plugin = nullptr;
    }
    return plugin;
  }

 private:
  void Unload();

  HMODULE module_ = nullptr;
  DllGetClassObjectFn getClassObject_ = nullptr;
  DllCanUnloadNowFn canUnloadNow_ = nullptr;
  std::string path_;
};

}  // namespace kav::host
