#include "frmAbout.h"

#include "forms/Build.h"

namespace kelvara::forms {

frmAbout::frmAbout() {
  Command1.onClick = [this] { Unload(); };
}

frmAbout::~frmAbout() { DestroyQuietly(); }

bool frmAbout::Build(HWND owner) {
  const Binding bindings[] = {{"Image1", &Image1}, {"Label4", &Label4},     {"Label2", &Label2},
                              {"Label1", &Label1}, {"Command1", &Command1}, {"Command2", &Command2}};
  return BuildForm(*this, frmAboutDesign(), owner, bindings);
}

bool frmAbout::Form_Load() {
  if (onLoad) onLoad(*this);
  return true;
}

}  // namespace kelvara::forms
