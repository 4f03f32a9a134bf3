#include "Build.h"

#include <algorithm>
#include <vector>

#include "toolkit/Image.h"

namespace kelvara::forms {

const ControlDesign* FormDesign::Control(std::string_view controlName) const {
  for (const ControlDesign& c : controls)
    if (c.name == controlName) return &c;
  return nullptr;
}

toolkit::FormArgs ToFormArgs(const FormDesign& d) {
  toolkit::FormArgs a;
  a.caption = d.caption;
  a.style = d.border == Border::Sizable ? WS_OVERLAPPEDWINDOW
                                        : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  a.style |= WS_CLIPCHILDREN;
  a.clientWidth = Px(d.clientWidthTwips);
  a.clientHeight = Px(d.clientHeightTwips);
  a.clientWidthTwips = d.clientWidthTwips;
  a.clientHeightTwips = d.clientHeightTwips;
  a.minOuterWidth = d.outerWidth;
  a.minOuterHeight = d.outerHeight;
  a.start = d.start;
  a.scale = d.scale;
  a.keyPreview = d.keyPreview;
  a.font = d.font;
  return a;
}

toolkit::ControlArgs ToControlArgs(const ControlDesign& d, int dpi) {
  toolkit::ControlArgs a;
  a.left = toolkit::TwipsToPixels(d.twips.left, dpi);
  a.top = toolkit::TwipsToPixels(d.twips.top, dpi);
  a.width = toolkit::TwipsToPixels(d.twips.width, dpi);
  a.height = toolkit::TwipsToPixels(d.twips.height, dpi);
  a.text = d.caption;
  a.font = d.font ? &*d.font : nullptr;
  a.tabStop = d.tabIndex >= 0 && d.kind != ControlKind::Label && d.kind != ControlKind::Picture;
  a.enabled = d.enabled;
  a.textColor = d.foreColor;
  if (d.rightToLeft) a.exStyle |= WS_EX_RTLREADING;
  switch (d.kind) {
    case ControlKind::TextBox:
      if (d.multiLine) {
        a.style |= ES_MULTILINE | ES_AUTOVSCROLL;
      } else {
        a.style |= ES_AUTOHSCROLL;
      }
      if (d.verticalScrollBar) a.style |= WS_VSCROLL;
      if (d.readOnly) a.style |= ES_READONLY;
      if (d.rightAligned) a.style |= ES_RIGHT;
      // Right-to-left text keeps its scroll bar on the side where reading ends.
      if (d.rightToLeft && d.verticalScrollBar) a.exStyle |= WS_EX_LEFTSCROLLBAR;
      break;
    case ControlKind::Label:
      if (d.rightAligned) a.style |= SS_RIGHT;
      break;
    case ControlKind::CheckBox:
      if (d.boxAtRight) a.style |= BS_LEFTTEXT;
      if (d.rightAligned) a.style |= BS_RIGHT;
      break;
    case ControlKind::ListBox:
    case ControlKind::Button:
    case ControlKind::Picture:
      break;
  }
  return a;
}

namespace {
toolkit::Control* Find(std::span<const Binding> bindings, std::string_view name) {
  for (const Binding& b : bindings)
    if (b.name == name) return b.control;
  return nullptr;
}

bool CreateControl(toolkit::Form& form, toolkit::Control* target, const ControlDesign& d) {
  const toolkit::ControlArgs args = ToControlArgs(d, form.Dpi());
  switch (d.kind) {
    case ControlKind::TextBox:
      if (auto* c = dynamic_cast<toolkit::TextBox*>(target)) return c->Create(form, args);
      return false;
    case ControlKind::ListBox:
      if (auto* c = dynamic_cast<toolkit::ListBox*>(target)) return c->Create(form, args);
      return false;
    case ControlKind::Button:
      if (auto* c = dynamic_cast<toolkit::Button*>(target)) {
        if (!c->Create(form, args)) return false;
        if (d.isDefault) form.SetDefaultButton(c);
        if (d.isCancel) form.SetCancelButton(c);
        return true;
      }
      return false;
    case ControlKind::CheckBox:
      if (auto* c = dynamic_cast<toolkit::CheckBox*>(target)) {
        if (!c->Create(form, args)) return false;
        FitCheckBoxToCaption(*c, args.height);
        return true;
      }
      return false;
    case ControlKind::Label:
      if (auto* c = dynamic_cast<toolkit::Label*>(target))
        return c->Create(form, args, d.autoSize, d.wordWrap);
      return false;
    case ControlKind::Picture:
      if (auto* c = dynamic_cast<toolkit::Picture*>(target)) {
        if (!c->Create(form, args)) return false;
        if (!d.resourceName.empty()) {
          // A missing picture leaves the place empty; the window is complete without it.
          const std::wstring name(d.resourceName);
          c->SetBitmap(toolkit::LoadImageResource(GetModuleHandleW(nullptr), name.c_str(),
                                                  MAKEINTRESOURCEW(10) /* RT_RCDATA */,
                                                  GetSysColor(COLOR_BTNFACE)));
        }
        return true;
      }
      return false;
  }
  return false;
}
}  // namespace

bool BuildForm(toolkit::Form& form, const FormDesign& design, HWND owner,
               std::span<const Binding> bindings) {
  if (!form.CreateFormWindow(ToFormArgs(design), owner)) return false;
  // Creation order is the tab order: the platform moves the focus in the order the children
  // were made. Controls outside the tab order come first.
  std::vector<const ControlDesign*> order;
  for (const ControlDesign& c : design.controls) order.push_back(&c);
  std::stable_sort(order.begin(), order.end(), [](const ControlDesign* a, const ControlDesign* b) {
    return a->tabIndex < b->tabIndex;
  });
  for (const ControlDesign* d : order) {
    toolkit::Control* target = Find(bindings, d->name);
    if (!target || !CreateControl(form, target, *d)) return false;
  }
  AddDesignLines(form, design, form.Dpi());
  form.onDesignDpi = [&form, &design, bound = std::vector<Binding>(bindings.begin(), bindings.end())](
                         int dpi) { ApplyDesignAtDpi(form, design, bound, dpi); };
  return true;
}

void BuildMenu(toolkit::Menu& menu, std::span<const MenuDesign> design) {
  std::vector<toolkit::MenuItem*> parents;  // the last entry made at each level
  for (const MenuDesign& e : design) {
    if (e.level <= 0) continue;  // the menu itself
    parents.resize(static_cast<size_t>(e.level));
    toolkit::MenuItem* parent = e.level > 1 ? parents[static_cast<size_t>(e.level) - 2] : nullptr;
    toolkit::MenuItem& item = menu.Add(parent, std::wstring(e.name.begin(), e.name.end()), e.caption);
    item.SetVisible(e.visible);
    item.SetChecked(e.checked);
    item.SetEnabled(e.enabled);
    parents[static_cast<size_t>(e.level) - 1] = &item;
  }
}

void BuildTimer(toolkit::Timer& timer, toolkit::Form& form, const TimerDesign& design) {
  timer.Attach(form, design.interval);
  timer.SetEnabled(design.enabled);
}

}  // namespace kelvara::forms
