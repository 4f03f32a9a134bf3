// The Options dialog's handlers: the start-with-Windows check box against the registry.
#include "DialogHandlers.h"

#include <memory>
#include <utility>

#include "toolkit/MessageBox.h"

namespace kelvara::settings {

namespace {

void frmSettings_Load(forms::frmSettings& f, const SettingsDialogContext& c) {
  if (c.SetWindowIcons) c.SetWindowIcons(f.hWnd(), kIconResource, true);
  // Read afresh on every opening: the entry may have been changed or the program moved since.
  f.chkStartUp.SetValue(ReadStartUpChecked(c.AppExePath, c.Where) ? 1 : 0);
}

void cmdOK_Click(forms::frmSettings& f, const SettingsDialogContext& c) {
  // Written or deleted on every save, changed or not, so a stale entry is always mended.
  const RegResult saved = SaveStartUp(f.chkStartUp.Value() == 1, c.AppExePath, c.Where);
  if (!saved) {
    // Never closed as if it had worked: the user learns why, and the box still shows the wish
    // that was not stored, to retry or to cancel.
    toolkit::MsgBoxRtl(f.hWnd(), StartUpNotSavedText(saved.Error), kProductTitle,
                       MB_OK | MB_ICONWARNING);
    return;
  }
  f.Unload();
}

}  // namespace

void WireSettingsDialog(forms::frmSettings& dialog, SettingsDialogContext context) {
  auto c = std::make_shared<const SettingsDialogContext>(std::move(context));
  dialog.onLoad = [c](forms::frmSettings& f) { frmSettings_Load(f, *c); };
  dialog.cmdOK.onClick = [&dialog, c] { cmdOK_Click(dialog, *c); };
  // Cancel (also Esc, its cancel button) and the close box only unload: nothing is written.
  dialog.cmdCancel.onClick = [&dialog] { dialog.Unload(); };
}

}  // namespace kelvara::settings
