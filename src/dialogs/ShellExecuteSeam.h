// The one place the program asks the shell to open something (the About dialog's web page).
// Tests install a hook here to watch the call instead of starting a browser.
#pragma once

#include <windows.h>

#include <functional>

namespace kelvara::settings {

// ShellExecuteW's own arguments, unchanged; null texts stay null.
using ShellExecuteFn =
    std::function<HINSTANCE(HWND owner, const wchar_t* operation, const wchar_t* file,
                            const wchar_t* parameters, const wchar_t* directory, int showCommand)>;

// ShellExecuteW, or the hook when one is installed. The result is the shell's own.
HINSTANCE ShellExecuteCall(HWND owner, const wchar_t* operation, const wchar_t* file,
                           const wchar_t* parameters, const wchar_t* directory, int showCommand);

// Installs a hook (an empty one restores the shell) and returns the previous one.
ShellExecuteFn SetShellExecuteHook(ShellExecuteFn hook);

}  // namespace kelvara::settings
