// The About dialog's window: its controls as designed, with places for what its buttons do.
#pragma once

#include <functional>

#include "toolkit/Control.h"
#include "toolkit/Form.h"

namespace kelvara::forms {

struct FormDesign;
const FormDesign& frmAboutDesign();  // frmAboutDesign.cpp

class frmAbout : public toolkit::Form {
 public:
  frmAbout();
  ~frmAbout() override;

  toolkit::Picture Image1;
  toolkit::Label Label4, Label2, Label1;
  toolkit::Button Command1;  // "OK": closes the dialog unless its handler is replaced
  toolkit::Button Command2;  // "Contact us"

  // Runs while the dialog loads (the program sets the window icons here).
  std::function<void(frmAbout&)> onLoad;

 protected:
  bool Build(HWND owner) override;
  bool Form_Load() override;
};

}  // namespace kelvara::forms
