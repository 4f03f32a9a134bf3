// The main window's commands: buttons, tray-menu entries, Escape and closing. The clipboard
// timer, the tray state and the watching switches are in ClipboardWatcher.cpp and TrayState.cpp.
#include "DBModule.h"
#include "DialogHandlers.h"
#include "LimitedWindow.h"
#include "Pronounce.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmSettings.h"
#include "frmMain.h"
#include "mMain.h"
#include "toolkit/MessageBox.h"

namespace kelvara {

// ---- Buttons and menu entries ------------------------------------------------------------

void frmMain::Command1_Click() { Unload(); }

void frmMain::Command2_Click() { ShowAboutDialog(); }

void frmMain::Command3_Click() {
  // The first listed headword, whose meaning the box shows, not the word box's text.
  const std::wstring first = ListText(0);
  std::optional<std::wstring_view> firstListed;
  if (lstWords.ListCount() > 0) firstListed = first;
  const PronounceResult result = Pronounce(Voice, txtExp.Text(), firstListed, CreateVoice);
  // No speech service, or one that cannot speak: say so, and go on.
  if (const std::wstring failure = PronounceFailureText(result); !failure.empty())
    toolkit::MsgBoxRtl(hWnd(), failure, kProductTitle, MB_OK | MB_ICONWARNING);
}

void frmMain::Command4_Click() { ShowSettingsDialog(); }

void frmMain::About_menu_Click() { ShowAboutDialog(); }

void frmMain::Close_menu_Click() { Unload(); }

void frmMain::ShowAboutDialog() {
  forms::frmAbout about;
  settings::WireAboutDialog(about, {this, &txtWord, &SetWindowIcons});
  about.ShowModal();
}

void frmMain::ShowSettingsDialog() {
  forms::frmSettings dialog;
  settings::WireSettingsDialog(
      dialog, {DBModule::AppExePath(), StartUpEntryLocation(), &SetWindowIcons});
  dialog.ShowModal();
}

// ---- Keys --------------------------------------------------------------------------------

void frmMain::Form_KeyDown(int& KeyCode, int Shift) {
  // Escape alone hides the window to the tray; with Shift, Ctrl or Alt it is left alone.
  if (KeyCode == VK_ESCAPE && Shift == 0) HideToTray();
}

// ---- Closing -----------------------------------------------------------------------------

void frmMain::Form_Unload(bool& /*cancel*/) {
  // Never cancelled. The limiter lets go first, then the tray object; the dictionary stays
  // open until the process ends.
  ReleaseWindowLimit(hWnd());
  ReleaseTray();
}

}  // namespace kelvara
