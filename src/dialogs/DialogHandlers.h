// What the Options and About dialogs do: their load, button and close handlers, wired into the
// handler slots of the designed windows (forms/frmSettings.h, forms/frmAbout.h). The main window
// wires a fresh dialog each time it shows one, modally.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "StartUpEntry.h"
#include "shared/Constants.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmSettings.h"
#include "toolkit/Control.h"
#include "toolkit/Form.h"

namespace kelvara::settings {

// The maker's home page, opened by the About dialog's "تماس با ما".
inline constexpr wchar_t kMakerHomePage[] = L"https://www.kelvara.com/";

// The window-icon routine every window calls while it loads (the main window's SetWindowIcons).
using WindowIconsFn = void (*)(HWND WindowHandle, std::wstring_view IconName, bool ToTopOwner);

struct SettingsDialogContext {
  std::wstring AppExePath;  // the program file the start-up entry runs
  StartUpKeys Where = StartUpEntryLocation();
  WindowIconsFn SetWindowIcons = nullptr;
};

// Load: icons, then chkStartUp checked exactly when the stored entry is this program's command.
// cmdOK: writes or deletes the entry and closes; when the registry refuses, a message owned by
// the dialog says the setting was not saved and why, and the dialog stays open with the box as
// the user left it, to try again or cancel. cmdCancel, Esc and the close box write nothing.
void WireSettingsDialog(forms::frmSettings& dialog, SettingsDialogContext context);

struct AboutDialogContext {
  toolkit::Form* MainWindow = nullptr;  // frmMain
  toolkit::Control* WordBox = nullptr;  // its txtWord
  WindowIconsFn SetWindowIcons = nullptr;
};

// Load: icons, also on the top of the owner chain. Command1 (OK): unloads, then puts the focus
// into the word box unless the main window is minimised (in the tray). Command2: opens the
// maker's home page with the shell's default action, on every press; the dialog stays open.
// Neither button is a cancel button, so Esc does nothing.
void WireAboutDialog(forms::frmAbout& dialog, AboutDialogContext context);

}  // namespace kelvara::settings
