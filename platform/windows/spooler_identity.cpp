// The spooler's identity calls, found in winspool.drv at run time: the
// import libraries of the toolchain do not carry them, and a process that is
// not a spooler has no such exports (Wine's spooler library only has stubs
// that end the process when called). Where they are missing, a pseudo-token
// stands in and the switch back does nothing.
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
IdentityCalls BindIdentityCalls() {
  IdentityCalls calls;
  const HMODULE module = LoadLibraryW(L"winspool.drv");
  if (module == nullptr) return calls;
  calls.revert = Find<RevertFn>(module, "RevertToPrinterSelf");
  calls.impersonate = Find<ImpersonateFn>(module, "ImpersonatePrinterClient");
  if (calls.revert == nullptr || calls.impersonate == nullptr) {
    FreeLibrary(module);
    return {};
  }
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
