// The main window's resize handling: to the tray when minimised, otherwise the layout of the
// controls for the new client size.
#include "MainLayout.h"
#include "frmMain.h"

#include <cmath>

namespace kelvara {

namespace {
// The layout arithmetic reads and moves the real controls, one step at a time.
class ControlsTarget final : public MainLayoutTarget {
 public:
  explicit ControlsTarget(frmMain& form) : f_(form) {}

  float ScaleWidth() override { return f_.ScaleWidth(); }
  float ScaleHeight() override { return f_.ScaleHeight(); }
  float Left(MainControl c) override { return static_cast<float>(Of(c).Left()); }
  float Top(MainControl c) override { return static_cast<float>(Of(c).Top()); }
  float Width(MainControl c) override { return static_cast<float>(Of(c).Width()); }
  float Height(MainControl c) override { return static_cast<float>(Of(c).Height()); }
  void Move(MainControl c, float left, std::optional<float> top, std::optional<float> width,
            std::optional<float> height) override {
    moved_ |= Of(c).Move(Px(left), Px(top), Px(width), Px(height));
  }
  void SetLeft(MainControl c, float v) override { moved_ |= Of(c).SetLeft(Px(v)); }
  void SetTop(MainControl c, float v) override { moved_ |= Of(c).SetTop(Px(v)); }
  void SetWidth(MainControl c, float v) override { moved_ |= Of(c).SetWidth(Px(v)); }
  void SetHeight(MainControl c, float v) override { moved_ |= Of(c).SetHeight(Px(v)); }
  int Dpi() override { return f_.Dpi(); }

  bool Moved() const { return moved_; }

 private:
  static int Px(float v) { return static_cast<int>(std::lround(v)); }
  static std::optional<int> Px(std::optional<float> v) {
    return v ? std::optional<int>(Px(*v)) : std::nullopt;
  }
  toolkit::Control& Of(MainControl c) {
    switch (c) {
      case MainControl::Command1: return f_.Command1;
      case MainControl::Command2: return f_.Command2;
      case MainControl::Command3: return f_.Command3;
      case MainControl::Command4: return f_.Command4;
      case MainControl::txtWord: return f_.txtWord;
      case MainControl::lstWords: return f_.lstWords;
      case MainControl::txtExp: return f_.txtExp;
      case MainControl::lblWord: return f_.lblWord;
      case MainControl::lblWords: return f_.lblWords;
      case MainControl::lblExp: return f_.lblExp;
    }
    return f_.txtWord;
  }
  frmMain& f_;
  bool moved_ = false;
};
}  // namespace

void frmMain::Form_Resize() {
  if (GetWindowState() == toolkit::WindowState::Minimized) {
    ResizeMinimized();
    return;
  }
  ControlsTarget target(*this);
  LayOutMainWindow(target);
  if (!target.Moved()) return;
  // A caption can land where the meaning box was a moment ago (maximising moves it down over
  // the box's old place); have every control paint itself again in its new place.
  RedrawWindow(hWnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace kelvara
