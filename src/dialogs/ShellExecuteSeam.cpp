#include "ShellExecuteSeam.h"

#include <objbase.h>
#include <shellapi.h>

#include <utility>

#include "toolkit/Com.h"
#include "toolkit/SystemLibrary.h"

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
  const toolkit::ScopedCom com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  return toolkit::system::ShellExecuteW(owner, operation, file, parameters, directory, showCommand);
}

ShellExecuteFn SetShellExecuteHook(ShellExecuteFn hook) {
  return std::exchange(Hook(), std::move(hook));
}

}  // namespace kelvara::settings
