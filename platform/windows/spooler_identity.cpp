// The spooler's identity calls, found at run time: the import libraries of
// the toolchain do not carry them. Inside the spooler they come from its
// router library, which is then already loaded (it is never loaded here:
// outside a spooler, as under Wine, its calls are stubs that end the
// process); otherwise from winspool.drv. Where neither has them, a
// pseudo-token stands in and the switch back does nothing.
#include "platform/spooler_identity.h"

namespace kav::spooler {
namespace {

using RevertFn = HANDLE(WINAPI*)();
using ImpersonateFn = BOOL(WINAPI*)(HANDLE);

struct IdentityCalls {
  RevertFn revert = nullptr;
  ImpersonateFn impersonate = nullptr;
};

// The token handed out where there is no spooler identity to change to.
int pseudoToken;

template <class Fn>
Fn Find(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Both calls or neither: a revert without its way back must never happen.
IdentityCalls IdentityCallsOf(HMODULE module) {
  if (module == nullptr) return {};
  IdentityCalls calls{Find<RevertFn>(module, "RevertToPrinterSelf"),
                      Find<ImpersonateFn>(module, "ImpersonatePrinterClient")};
  return calls.revert != nullptr && calls.impersonate != nullptr ? calls : IdentityCalls{};
}

IdentityCalls BindIdentityCalls() {
  IdentityCalls calls = IdentityCallsOf(GetModuleHandleW(L"spoolss.dll"));
  if (calls.revert != nullptr) return calls;
  const HMODULE module = LoadLibraryW(L"winspool.drv");
  calls = IdentityCallsOf(module);
  if (calls.revert == nullptr && module != nullptr) FreeLibrary(module);
  return calls;
}

const IdentityCalls& Calls() {
  static const IdentityCalls calls = BindIdentityCalls();
  return calls;
}

}  // namespace

HANDLE RevertToPrinterSelf() {
  const IdentityCalls& calls = Calls();
  return calls.revert != nullptr ? calls.revert() : &pseudoToken;
}

BOOL ImpersonatePrinterClient(HANDLE token) {
  const IdentityCalls& calls = Calls();
  if (calls.impersonate != nullptr) return calls.impersonate(token);
  return token == &pseudoToken;
}

}  // namespace kav::spooler
