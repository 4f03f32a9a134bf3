#include "ShellExecuteSeam.h"

#include <objbase.h>
#include <shellapi.h>

#include <utility>

namespace kelvara::settings {

namespace {
ShellExecuteFn& Hook() {
  static ShellExecuteFn hook;
  return hook;
}
}  // namespace

HINSTANCE ShellExecuteCall(HWND owner, const wchar_t* operation, const wchar_t* file,
                           const wchar_t* parameters, const wchar_t* directory, int showCommand) {
  if (Hook()) return Hook()(owner, operation, file, parameters, directory, showCommand);
  // The shell may hand the address to an extension that needs COM on this thread; DDE is not
  // wanted (it can hang on a browser that does not answer).
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  HINSTANCE result = ShellExecuteW(owner, operation, file, parameters, directory, showCommand);
  // Owed after S_FALSE too; not after RPC_E_CHANGED_MODE, where COM was up in the other kind.
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}

ShellExecuteFn SetShellExecuteHook(ShellExecuteFn hook) {
  return std::exchange(Hook(), std::move(hook));
}

}  // namespace kelvara::settings
