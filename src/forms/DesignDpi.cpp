// What a window built from its design does at another display scale: its controls and lines go
// where the design puts them at the new DPI, and check boxes fit their captions.
#include "Build.h"

#include <algorithm>

namespace kelvara::forms {

void AddDesignLines(toolkit::Form& form, const FormDesign& design, int dpi) {
  form.ClearLines();
  for (const LineDesign& l : design.lines) {
    const auto px = [dpi](int twips) { return toolkit::TwipsToPixels(twips, dpi); };
    form.AddLine({.from = {px(l.x1), px(l.y1)}, .to = {px(l.x2), px(l.y2)}, .color = l.color,
                  .width = std::max(1, toolkit::ScaleByDpi(l.width, dpi))});
  }
}

void ApplyDesignAtDpi(toolkit::Form& form, const FormDesign& design,
                      std::span<const Binding> bindings, int dpi) {
  for (const Binding& b : bindings) {
    const ControlDesign* d = design.Control(b.name);
    if (!d || !b.control || !b.control->hWnd()) continue;
    const toolkit::ControlArgs a = ToControlArgs(*d, dpi);
    b.control->Move(a.left, a.top, a.width, a.height);
    if (d->kind == ControlKind::Label && d->autoSize) {
      if (auto* label = dynamic_cast<toolkit::Label*>(b.control)) label->AutoSizeToText();
    } else if (d->kind == ControlKind::CheckBox) {
      if (auto* box = dynamic_cast<toolkit::CheckBox*>(b.control))
        FitCheckBoxToCaption(*box, a.height);
    }
  }
  AddDesignLines(form, design, dpi);
}

void FitCheckBoxToCaption(toolkit::CheckBox& box, int designHeight) {
  HWND hwnd = box.hWnd();
  if (!hwnd) return;
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  // The font's whole cell (its ascent and descent cover the Arabic letters' marks and tails),
  // and a pixel above and below for the focus rectangle drawn around the caption.
  const int needed = static_cast<int>(tm.tmHeight) + 2;
  if (needed > designHeight) box.Move(box.Left(), box.Top(), box.Width(), needed);
}

}  // namespace kelvara::forms
