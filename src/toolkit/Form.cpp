#include "Form.h"

#include <algorithm>
#include <string>

#include "Application.h"
#include "Control.h"
#include "Dpi.h"
#include "Menu.h"
#include "Timer.h"
#include "shared/Constants.h"
#include "WindowRules.h"

namespace kelvara::toolkit {

struct Form::CachedFont {
  std::wstring face;  // owns the text the description's view points at
  FontDesc desc;
  int dpi = kDesignDpi;
  UniqueHfont font;
};

namespace {

std::vector<Form*>& LoadedForms() {
  static std::vector<Form*> forms;
  return forms;
}

// Every form whose window exists, from WM_NCCREATE to WM_NCDESTROY: a handle is told to be one
// of ours by memory alone, with no class-name or process query (each a trip to the window
// server under Wine) on the path of every message.
std::vector<Form*>& LiveForms() {
  static std::vector<Form*> forms;
  return forms;
}

int ShiftState() {
  int shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= kShiftMask;
  if (GetKeyState(VK_CONTROL) < 0) shift |= kCtrlMask;
  if (GetKeyState(VK_MENU) < 0) shift |= kAltMask;
  return shift;
}

// A form's children are its own controls, so their kind tells what they are, with no
// class-name query.
Button* AsPushButton(Control* control) {
  auto* button = dynamic_cast<Button*>(control);
  if (!button) return nullptr;
  const LONG type = GetWindowLongW(button->hWnd(), GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? button : nullptr;
}

bool IsEdit(Control* control) { return dynamic_cast<TextBox*>(control) != nullptr; }
}  // namespace

ATOM Form::RegisterFormClass() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Form::WindowProc;
    wc.hInstance = Application::Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClassName;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Form* form = nullptr;
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    form = static_cast<Form*>(cs->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    LiveForms().push_back(form);
  } else {
    // Only windows of the form class reach this procedure, and their user data is the form.
    form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!form) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    auto& live = LiveForms();
    live.erase(std::remove(live.begin(), live.end(), form), live.end());
    const LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
    form->OnDestroyed();
    return r;
  }
  return form->HandleMessage(msg, wParam, lParam);
}

Form* Form::FromHwnd(HWND hwnd) {
  if (!hwnd) return nullptr;
  // Another process's window, or one of another class, is simply not in the list.
  for (Form* f : LiveForms())
    if (f->hwnd_ == hwnd) return f;
  return nullptr;
}

Control* Form::ControlFor(HWND hwnd) const {
  if (!hwnd) return nullptr;
  for (Control* c : controls_)
    if (c->hWnd() == hwnd) return c;
  return nullptr;
}

int Form::LoadedCount() { return static_cast<int>(LoadedForms().size()); }

Form::Form() = default;

Form::~Form() {
  DestroyQuietly();
  for (Timer* t : timers_) t->form_ = nullptr;
}

void Form::DestroyQuietly() {
  if (!hwnd_) return;
  quietDestroy_ = true;
  DestroyWindow(hwnd_);
  quietDestroy_ = false;
}

HFONT Form::FontFor(const FontDesc& desc) {
  for (const auto& f : fonts_)
    if (f->desc == desc && f->dpi == dpi_) return f->font.get();
  auto cached = std::make_unique<CachedFont>();
  cached->face = std::wstring(desc.face);
  cached->desc = desc;
  cached->desc.face = cached->face;
  cached->dpi = dpi_;
  const LOGFONTW lf = ToLogFont(cached->desc, dpi_);
  cached->font.reset(CreateFontIndirectW(&lf));
  HFONT font = cached->font.get();
  fonts_.push_back(std::move(cached));
  return font;
}

bool Form::CreateFormWindow(const FormArgs& args, HWND owner) {
  if (!RegisterFormClass()) return false;
  scale_ = args.scale;
  keyPreview_ = args.keyPreview;
  font_ = args.font;
  FontFor(font_);  // keeps a copy of the face text; font_ then views the cached copy
  font_ = fonts_.back()->desc;

  // The outer size and place at a DPI: the client area converted (from twips where the design
  // gives them), the frame of that DPI around it, never below the scaled minimum.
  const auto place = [&](int dpi) {
    const int cw = args.clientWidthTwips ? TwipsToPixels(args.clientWidthTwips, dpi)
                                         : ScaleByDpi(args.clientWidth, dpi);
    const int ch = args.clientHeightTwips ? TwipsToPixels(args.clientHeightTwips, dpi)
                                          : ScaleByDpi(args.clientHeight, dpi);
    RECT r{0, 0, cw, ch};
    AdjustWindowRectForDpi(r, args.style, args.exStyle, dpi);
    RECT p{args.left, args.top, std::max<int>(r.right - r.left, ScaleByDpi(args.minOuterWidth, dpi)),
           std::max<int>(r.bottom - r.top, ScaleByDpi(args.minOuterHeight, dpi))};
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (args.start == StartPosition::CenterOwner && owner && !IsIconic(owner)) {
      GetWindowRect(owner, &area);
    }
    if (args.start != StartPosition::Manual) {
      p.left = area.left + (area.right - area.left - p.right) / 2;
      p.top = area.top + (area.bottom - area.top - p.bottom) / 2;
    }
    return p;  // left, top, width, height
  };

  dpi_ = kDesignDpi;
  const RECT first = place(dpi_);
  HWND hwnd = CreateWindowExW(args.exStyle, kFormClassName, std::wstring(args.caption).c_str(),
                              args.style & ~WS_VISIBLE, first.left, first.top, first.right,
                              first.bottom, owner, nullptr, Application::Instance(), this);
  if (!hwnd || hwnd_ != hwnd) return false;
  // Only a made window knows its monitor, and with it its DPI; it is still hidden.
  dpi_ = DpiOfWindow(hwnd);
  if (dpi_ != kDesignDpi) {
    const RECT p = place(dpi_);
    SetWindowPos(hwnd, nullptr, p.left, p.top, p.right, p.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

void Form::ApplyDpi(int dpi, const RECT* suggested) {
  if (!hwnd_ || dpi <= 0) return;
  dpi_ = dpi;
  for (Control* c : controls_) c->RefreshFont();
  if (onDesignDpi) onDesignDpi(dpi);
  if (suggested) {
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RaiseResize();  // also when the suggested size is the size the window has
  if (onDpiChanged) onDpiChanged(dpi);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

bool Form::Create(HWND owner) {
  if (hwnd_) return true;
  if (!Build(owner) || !hwnd_) {
    if (hwnd_) DestroyWindow(hwnd_);
    return false;
  }
  built_ = true;
  LoadedForms().push_back(this);
  return true;
}

bool Form::Load(HWND owner) {
  if (hwnd_) return true;
  if (!Create(owner)) return false;
  if (pendingState_) {
    const WindowState s = *pendingState_;
    pendingState_.reset();
    if (s != WindowState::Normal) SetWindowState(s);
  }
  if (!Form_Load()) {
    DestroyQuietly();  // a refused load is not the program's last window closing
    return false;
  }
  return hwnd_ != nullptr;
}

bool Form::Show() {
  if (!Load()) return false;
  const bool first = !shownOnce_;
  int cmd = SW_SHOW;
  switch (GetWindowState()) {
    case WindowState::Minimized: cmd = SW_SHOWMINNOACTIVE; break;
    case WindowState::Maximized: cmd = SW_SHOWMAXIMIZED; break;
    case WindowState::Normal: cmd = SW_SHOW; break;
  }
  // Laid out while still hidden, the controls move without drawing (a multi-line box redraws
  // its scroll bar at every move); the layouts that showing runs then find them in place.
  if (first && GetWindowState() == WindowState::Normal && !IsWindowVisible(hwnd_)) RaiseResize();
  ShowWindow(hwnd_, cmd);
  if (first && hwnd_) {
    shownOnce_ = true;
    if (GetWindowState() != WindowState::Minimized) FocusFirstControl();
    RaiseResize();  // the first display lays the form out
  }
  return hwnd_ != nullptr;
}

bool Form::ShowModal(Form* owner) {
  HWND ownerHwnd = owner ? owner->hWnd() : nullptr;
  if (!ownerHwnd) {
    if (Form* active = FromHwnd(GetActiveWindow()); active && active != this) ownerHwnd = active->hWnd();
  }
  if (!Load(ownerHwnd)) return false;

  // Modal for the whole program: every other form waits until this one is unloaded.
  for (Form* f : LoadedForms()) {
    if (f != this && IsWindowEnabled(f->hwnd_)) {
      EnableWindow(f->hwnd_, FALSE);
      disabledByModal_.push_back(f->hwnd_);
    }
  }
  modal_ = true;
  Show();
  SetForegroundWindow(hwnd_);

  MSG msg;
  while (hwnd_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {  // the program is ending: leave the quit message for the outer loop
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1) break;
    Application::ProcessMessage(msg);
  }
  EnableOtherForms();
  modal_ = false;
  return true;
}

void Form::EnableOtherForms() {
  for (HWND h : disabledByModal_)
    if (IsWindow(h)) EnableWindow(h, TRUE);
  disabledByModal_.clear();
}

void Form::Hide() {
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

bool Form::Visible() const { return hwnd_ && IsWindowVisible(hwnd_); }

void Form::Unload() {
  if (!hwnd_ || unloading_) return;
  bool cancel = false;
  Form_Unload(cancel);
  if (cancel || !hwnd_) return;
  unloading_ = true;
  // The owner must be enabled again before this window goes, or the system would activate
  // some other program's window in its place.
  HWND owner = GetWindow(hwnd_, GW_OWNER);
  EnableOtherForms();
  if (modal_ && owner && IsWindowVisible(owner)) SetActiveWindow(owner);
  DestroyWindow(hwnd_);
}

void Form::OnDestroyed() {
  const bool endsProgram = !quietDestroy_;
  hwnd_ = nullptr;
  for (Control* c : controls_) c->Detach();
  controls_.clear();
  for (Timer* t : timers_) {
    t->id_ = 0;
    t->enabled_ = false;
  }
  auto& forms = LoadedForms();
  const auto it = std::find(forms.begin(), forms.end(), this);
  const bool wasLoaded = it != forms.end();
  if (wasLoaded) forms.erase(it);
  built_ = false;
  shownOnce_ = false;
  unloading_ = false;
  lastFocus_ = nullptr;
  defaultButton_ = cancelButton_ = nullptr;
  EnableOtherForms();
  if (endsProgram && wasLoaded && forms.empty()) Application::End(0);
}

WindowState Form::GetWindowState() const {
  if (!hwnd_) return pendingState_.value_or(WindowState::Normal);
  if (IsIconic(hwnd_)) return WindowState::Minimized;
  if (IsZoomed(hwnd_)) return WindowState::Maximized;
  return WindowState::Normal;
}

void Form::SetWindowState(WindowState state) {
  if (!hwnd_) {
    pendingState_ = state;
    return;
  }
  if (state == GetWindowState()) return;
  switch (state) {
    case WindowState::Minimized: ShowWindow(hwnd_, SW_MINIMIZE); break;
    case WindowState::Maximized: ShowWindow(hwnd_, SW_MAXIMIZE); break;
    case WindowState::Normal: ShowWindow(hwnd_, SW_RESTORE); break;
  }
}

int Form::ClientWidth() const {
  RECT r{};
  if (hwnd_) GetClientRect(hwnd_, &r);
  return r.right;
}

int Form::ClientHeight() const {
  RECT r{};
  if (hwnd_) GetClientRect(hwnd_, &r);
  return r.bottom;
}

// Twips at the window's DPI: 15 to the pixel at 96.
float Form::ScaleWidth() const {
  const float px = static_cast<float>(ClientWidth());
  return scale_ == ScaleUnit::Twips ? px * 1440.0f / static_cast<float>(dpi_) : px;
}

float Form::ScaleHeight() const {
  const float px = static_cast<float>(ClientHeight());
  return scale_ == ScaleUnit::Twips ? px * 1440.0f / static_cast<float>(dpi_) : px;
}

void Form::SetFocus() {
  if (!hwnd_) return;
  BringToFront(hwnd_);
  ::SetFocus(lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : hwnd_);
}

void Form::FocusFirstControl() {
  if (!hwnd_) return;
  if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) ::SetFocus(first);
}

void Form::PopupMenu(const Menu& menu) {
  if (!hwnd_) return;
  UniqueHmenu popup = menu.BuildPopup();
  if (!popup) return;
  POINT at{};
  GetCursorPos(&at);
  // Without the owner in the foreground the menu would not close when the user clicks
  // elsewhere; the WM_NULL afterwards lets the system finish the menu's own bookkeeping.
  SetForegroundWindow(hwnd_);
  const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
      popup.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON,
      at.x, at.y, hwnd_, nullptr));
  PostMessageW(hwnd_, WM_NULL, 0, 0);
  popup.reset();
  menu.Dispatch(chosen);
}

void Form::SetDefaultButton(Button* button) {
  if (defaultButton_ && defaultButton_->hWnd())
    SendMessageW(defaultButton_->hWnd(), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  defaultButton_ = button;
  if (button && button->hWnd()) SendMessageW(button->hWnd(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void Form::SetCancelButton(Button* button) { cancelButton_ = button; }

void Form::RegisterControl(Control& control) { controls_.push_back(&control); }

void Form::UnregisterControl(Control& control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), &control), controls_.end());
}

void Form::RegisterTimer(Timer& timer) {
  if (std::find(timers_.begin(), timers_.end(), &timer) == timers_.end()) timers_.push_back(&timer);
  if (!timer.id_) timer.id_ = nextTimerId_++;
}

void Form::UnregisterTimer(Timer& timer) {
  timers_.erase(std::remove(timers_.begin(), timers_.end(), &timer), timers_.end());
}

Control* Form::ControlById(int id) const {
  for (Control* c : controls_)
    if (c->Id() == id) return c;
  return nullptr;
}

void Form::RaiseResize() {
  if (built_ && hwnd_) Form_Resize();
}

void Form::OnControlFocused(Control& control) {
  lastFocus_ = control.hWnd();
  if (!defaultButton_) return;
  // As in dialogs: a focused push button is the one Enter presses, and shows it.
  const bool onButton = AsPushButton(&control) != nullptr;
  for (Control* c : controls_) {
    if (!AsPushButton(c)) continue;
    const bool isDefault = onButton ? c == &control : c == defaultButton_;
    SendMessageW(c->hWnd(), BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
}

void Form::Paint() {
  const PaintScope paint(hwnd_);
  for (const LineShape& line : lines_) {
    if (line.from.y == line.to.y) {
      // A horizontal line covers the rows from its y downwards, so two lines a pixel apart
      // lie one above the other (the etched separator) instead of painting over each other.
      RECT r{std::min(line.from.x, line.to.x), line.from.y, std::max(line.from.x, line.to.x) + 1,
             line.from.y + line.width};
      const UniqueHbrush brush(CreateSolidBrush(line.color));
      FillRect(paint.dc(), &r, brush.get());
    } else {
      const UniqueHpen pen(CreatePen(PS_SOLID, line.width, line.color));
      const SelectScope selected(paint.dc(), pen.get());
      MoveToEx(paint.dc(), line.from.x, line.from.y, nullptr);
      LineTo(paint.dc(), line.to.x, line.to.y);
    }
  }
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (auto answer = OnMessage(msg, wParam, lParam)) return *answer;
  switch (msg) {
    case WM_COMMAND:
      if (lParam) {
        if (Control* c = ControlFor(reinterpret_cast<HWND>(lParam))) {
          c->OnCommand(HIWORD(wParam));
          return 0;
        }
      }
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (Control* c = ControlById(static_cast<int>(item->CtlID)); c && c->OnDrawItem(*item)) return TRUE;
      break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      if (Control* c = ControlFor(reinterpret_cast<HWND>(lParam))) {
        if (HBRUSH b = c->OnCtlColor(reinterpret_cast<HDC>(wParam))) return reinterpret_cast<LRESULT>(b);
      }
      break;
    case WM_SIZE:
      RaiseResize();
      return 0;
    case WM_DPICHANGED:
      ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_TIMER:
      for (Timer* t : timers_) {
        if (t->id_ == wParam) {
          t->Tick();
          return 0;
        }
      }
      break;
    case WM_CLOSE:
      Unload();
      return 0;
    case WM_PAINT:
      if (!lines_.empty()) {
        Paint();
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
      } else if (!HIWORD(wParam)) {  // not while minimised
        if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_))
          ::SetFocus(lastFocus_);
        else
          FocusFirstControl();
      }
      return 0;
    case WM_SETFOCUS:
      if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)) ::SetFocus(lastFocus_);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

bool Form::PreTranslateKey(MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  Form* form = FromHwnd(GetAncestor(msg.hwnd, GA_ROOT));
  return form && form->HandleKey(msg);
}

bool Form::HandleKey(MSG& msg) {
  if (keyPreview_) {
    int keyCode = static_cast<int>(msg.wParam);
    Form_KeyDown(keyCode, ShiftState());
    if (keyCode == 0 || !hwnd_) return true;  // the handler kept the key, or closed the form
    msg.wParam = static_cast<WPARAM>(keyCode);
  }
  if (msg.message != WM_KEYDOWN) return false;
  const int shift = ShiftState();
  HWND focus = GetFocus();
  switch (msg.wParam) {
    case VK_TAB: {
      if (shift & (kCtrlMask | kAltMask)) return false;
      HWND from = focus && IsChild(hwnd_, focus) ? focus : nullptr;
      HWND next = GetNextDlgTabItem(hwnd_, from, (shift & kShiftMask) != 0);
      // Windows hides the focus rectangle until the keyboard is used (a window the mouse
      // activated starts so); a dialog shows it on Tab, and so must a form, whose own Tab
      // handling the dialog manager never sees.
      SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
      if (next) {
        ::SetFocus(next);
        if (IsEdit(ControlFor(next))) SendMessageW(next, EM_SETSEL, 0, -1);  // as dialogs do
      }
      return true;
    }
    case VK_RETURN: {
      if (shift & (kCtrlMask | kAltMask)) return false;
      if (Button* b = AsPushButton(ControlFor(focus))) {
        b->Click();
        return true;
      }
      if (defaultButton_) {
        defaultButton_->Click();
        return true;
      }
      return false;
    }
    case VK_ESCAPE:
      if (cancelButton_) {
        cancelButton_->Click();
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace kelvara::toolkit
