// The Options dialog's window: its controls as designed, with places for what it does.
#pragma once

#include <functional>

#include "toolkit/Control.h"
#include "toolkit/Form.h"

namespace kelvara::forms {

struct FormDesign;
const FormDesign& frmSettingsDesign();  // frmSettingsDesign.cpp

class frmSettings : public toolkit::Form {
 public:
  frmSettings();
  ~frmSettings() override;

  toolkit::CheckBox chkStartUp;
  toolkit::Button cmdOK;      // "Save": closes the dialog unless its handler is replaced
  toolkit::Button cmdCancel;  // "Cancel": closes the dialog

  // Runs while the dialog loads (window icons, then the check box from the stored setting).
  std::function<void(frmSettings&)> onLoad;

 protected:
  bool Build(HWND owner) override;
  bool Form_Load() override;
};

}  // namespace kelvara::forms
