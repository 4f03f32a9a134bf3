// The main window's tray state: entering it (Escape, "-t", any minimising), the tray icon's
// menu and the restore action that leaves it.
#include "frmMain.h"

#include "toolkit/WindowRules.h"

namespace kelvara {

void frmMain::HideToTray() {
  // Minimising runs the minimised branch of the resize handler at once, which hides the
  // window and shows a tray object of its own; the one made here replaces it, and the
  // replaced one takes its icon with it, so exactly one icon remains.
  SetWindowState(toolkit::WindowState::Minimized);
  Hide();
  NewTrayObject();
}

void frmMain::ResizeMinimized() {
  // A minimised main window never waits on the taskbar: it goes to the tray.
  Hide();
  NewTrayObject();
}

void frmMain::NewTrayObject() {
  // Assigning releases the object held before, which removes its icon.
  f_cSystray = cSystray::Create(&trayEvents_, TrayShell);
  f_cSystray->SysTrayIconFromRes(kIconResource);
  f_cSystray->SysTrayToolTip(kProductTitle);
  f_cSystray->SysTrayShow(true);
}

void frmMain::ReleaseTray() { f_cSystray.reset(); }

void frmMain::RestoreNormal() {
  // A window maximised before it was minimised would come back maximised from a plain
  // restore; out of the tray it always comes back in the normal state.
  if (GetWindowState() == toolkit::WindowState::Minimized) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (GetWindowPlacement(hWnd(), &placement)) {
      placement.flags &= ~static_cast<UINT>(WPF_RESTORETOMAXIMIZED);
      placement.showCmd = SW_SHOWNORMAL;
      SetWindowPlacement(hWnd(), &placement);
    }
  }
  SetWindowState(toolkit::WindowState::Normal);
}

void frmMain::f_cSystray_MouseUp(std::int16_t& /*Button*/) {
  if (f_cSystray) f_cSystray->BeforePopup();
  ShowTrayMenu();
}

void frmMain::f_cSystray_MouseDblClick(std::int16_t& /*Button*/) {
  // The restore action, also of Shift+F9 and of a second start. A maximised window comes back
  // normal. Called from the tray object's own event, the release below only drops our
  // reference: the object ends once its event has returned.
  RestoreNormal();
  Show();
  // Shown is not enough on Windows: a window shown by a program in the background stays
  // behind the one the user works in.
  toolkit::BringToFront(hWnd());
  txtWord.SetSelStart(0);
  txtWord.SetSelLength(txtWord.TextLength());
  ReleaseTray();
}

}  // namespace kelvara
