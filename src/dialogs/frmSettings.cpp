#include "frmSettings.h"

#include "forms/Build.h"

namespace kelvara::forms {

frmSettings::frmSettings() {
  cmdOK.onClick = [this] { Unload(); };
  cmdCancel.onClick = [this] { Unload(); };
}

frmSettings::~frmSettings() { DestroyQuietly(); }

bool frmSettings::Build(HWND owner) {
  const Binding bindings[] = {
      {"chkStartUp", &chkStartUp}, {"cmdOK", &cmdOK}, {"cmdCancel", &cmdCancel}};
  return BuildForm(*this, frmSettingsDesign(), owner, bindings);
}

bool frmSettings::Form_Load() {
  if (onLoad) onLoad(*this);
  return true;
}

}  // namespace kelvara::forms
