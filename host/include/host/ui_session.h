// The printer host's user-interface side, stood in for: it loads the UI
// library, creates the plug-in object, publishes its helper, hands it
// property-sheet items and reads the library's display strings.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/plugin_library.h"
#include "host/ui_driver_helper.h"

namespace kav::host {

// Property-sheet items as the host hands them to CommonUIProp: each OPTITEM
// with its own OPTTYPE and options, which keep their addresses while items
// are added.
class PropertyItems {
 public:
  // An item of `dmPubId` with `optionCount` options, `sel` selected; the
  // answer is its index.
  size_t Add(BYTE dmPubId, WORD optionCount, LONG sel);
  // An item whose pOptType is null.
  size_t AddWithoutType(BYTE dmPubId, LONG sel);

  OPTITEM& item(size_t index) { return items_[index]; }
  OPTTYPE& type(size_t index) { return *items_[index].pOptType; }
  OPTPARAM& option(size_t index, size_t option) { return type(index).pOptParam[option]; }
  OPTITEM* data() { return items_.data(); }
  DWORD count() const { return static_cast<DWORD>(items_.size()); }

 private:
  std::vector<OPTITEM> items_;
  std::deque<OPTTYPE> types_;
  std::deque<std::vector<OPTPARAM>> options_;
};

class UiSession {
 public:
  UiSession();
  UiSession(const UiSession&) = delete;
  UiSession& operator=(const UiSession&) = delete;
  ~UiSession();

  // Loads the library at `pluginPath`, creates the plug-in object and
  // publishes the helper; false with `error` set when any step fails.
  bool Open(const std::string& pluginPath, std::string& error);

  IPrintOemUI* plugin() const { return plugin_; }
  UiDriverHelper& helper() { return *helper_; }
  const PluginLibrary& library() const { return library_; }

  // The host's own user-interface object, passed to the plug-in as poemuiobj.
  POEMUIOBJ uiObject() { return &uiObject_; }

  // The parameter block of a CommonUIProp call over `items`.
  OEMCUIPPARAM CommonUIParam(PropertyItems& items);
  HRESULT CommonUIProp(PropertyItems& items, DWORD mode = OEMCUIP_DOCPROP);

  // The library's display string `id`, read through LoadStringW; none when
  // the library has no text under that id.
  std::optional<std::u16string> LoadDisplayString(UINT id) const;
  // The blocks of the library's string table by resource name (id / 16 + 1),
  // each with the languages it is present in.
  std::map<WORD, std::set<WORD>> StringBlockLanguages() const;

 private:
  void Close();

  PluginLibrary library_;
  IPrintOemUI* plugin_ = nullptr;
  UiDriverHelper* helper_;
  int uiObject_ = 0;
};

}  // namespace kav::host
