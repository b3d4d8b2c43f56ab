#include "host/ui_session.h"

namespace kav::host {

size_t PropertyItems::Add(BYTE dmPubId, WORD optionCount, LONG sel) {
  std::vector<OPTPARAM>& options = options_.emplace_back(optionCount);
  for (OPTPARAM& option : options) option.cbSize = sizeof(OPTPARAM);
  OPTTYPE& type = types_.emplace_back();
  type.cbSize = sizeof(OPTTYPE);
  type.Count = optionCount;
  type.pOptParam = options.empty() ? nullptr : options.data();
  const size_t index = AddWithoutType(dmPubId, sel);
  items_[index].pOptType = &type;
  return index;
}

size_t PropertyItems::AddWithoutType(BYTE dmPubId, LONG sel) {
  OPTITEM& item = items_.emplace_back();
  item.cbSize = sizeof(OPTITEM);
  item.DMPubID = dmPubId;
  item.Sel = sel;
  return items_.size() - 1;
}

UiSession::UiSession() : helper_(new UiDriverHelper) {}

UiSession::~UiSession() {
  Close();
  helper_->Release();
}

bool UiSession::Open(const std::string& pluginPath, std::string& error) {
  Close();
  if (!library_.Load(pluginPath, error)) return false;
  plugin_ = library_.CreatePlugin<IPrintOemUI>(kClsidUiPlugin, kIidPrintOemUI, helper_, error);
  return plugin_ != nullptr;
}

void UiSession::Close() {
  if (plugin_ == nullptr) return;
  plugin_->Release();
  plugin_ = nullptr;
}

OEMCUIPPARAM UiSession::CommonUIParam(PropertyItems& items) {
  OEMCUIPPARAM param{};
  param.cbSize = sizeof(OEMCUIPPARAM);
  param.poemuiobj = uiObject();
  param.pDrvOptItems = items.data();
  param.cDrvOptItems = items.count();
  return param;
}

HRESULT UiSession::CommonUIProp(PropertyItems& items, DWORD mode) {
  OEMCUIPPARAM param = CommonUIParam(items);
  return plugin_->CommonUIProp(mode, &param);
}

// Asks for the text in place (a buffer size of 0), so no length is assumed.
std::optional<std::u16string> UiSession::LoadDisplayString(UINT id) const {
  const WCHAR* text = nullptr;
  const int length = LoadStringW(library_.module(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::nullopt;
  return std::u16string(text, text + length);
}

namespace {

using BlockLanguages = std::map<WORD, std::set<WORD>>;

// String blocks are named by number; a block named by a string is recorded
// under 0, which no block of a well-formed table has.
WORD BlockNumber(LPCWSTR name) { return IS_INTRESOURCE(name) ? LOWORD(name) : WORD{0}; }

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR name, WORD language, LONG_PTR param) {
  (*reinterpret_cast<BlockLanguages*>(param))[BlockNumber(name)].insert(language);
  return TRUE;
}

BOOL CALLBACK AddBlock(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
  (*reinterpret_cast<BlockLanguages*>(param))[BlockNumber(name)];
  EnumResourceLanguagesW(module, type, name, AddLanguage, param);
  return TRUE;
}

}  // namespace

std::map<WORD, std::set<WORD>> UiSession::StringBlockLanguages() const {
  BlockLanguages blocks;
  EnumResourceNamesW(library_.module(), RT_STRING, AddBlock, reinterpret_cast<LONG_PTR>(&blocks));
  return blocks;
}

}  // namespace kav::host
