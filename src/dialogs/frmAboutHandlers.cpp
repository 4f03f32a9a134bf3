// The About dialog's handlers: icons, OK with the focus back in the word box, and the maker's
// home page.
#include "DialogHandlers.h"

#include "ShellExecuteSeam.h"

namespace kelvara::settings {

void WireAboutDialog(forms::frmAbout& dialog, AboutDialogContext context) {
  dialog.onLoad = [context](forms::frmAbout& f) {
    if (context.SetWindowIcons) context.SetWindowIcons(f.hWnd(), kIconResource, true);
  };

  dialog.Command1.onClick = [&dialog, context] {
    dialog.Unload();
    // In the tray the main window is minimised and hidden: nothing gets the focus then.
    toolkit::Form* main = context.MainWindow;
    if (main && main->IsLoaded() && main->GetWindowState() != toolkit::WindowState::Minimized &&
        context.WordBox)
      context.WordBox->SetFocus();
  };

  dialog.Command2.onClick = [&dialog] {
    // The shell's default action for the address (the user's browser); the dialog stays open.
    // A failure is not reported: there is nothing the user could do about it here.
    ShellExecuteCall(dialog.hWnd(), nullptr, kMakerHomePage, nullptr, nullptr, SW_SHOWNORMAL);
  };
}

}  // namespace kelvara::settings
