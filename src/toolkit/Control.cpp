#include "Control.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <string>

#include "Form.h"

namespace kelvara::toolkit {

Control::~Control() {
  if (parent_) parent_->UnregisterControl(*this);
  if (hwnd_) Unhook(hwnd_);
}

void Control::Unhook(HWND hwnd) {
  // Put the class procedure back unless somebody subclassed the control after us; then our
  // procedure stays in their chain and, finding no record, passes everything to the class.
  if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Control::WindowProc))
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(baseProc_));
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
}

Control* Control::FromHwnd(HWND hwnd) {
  if (!hwnd) return nullptr;
  // Our controls are children of our forms, which list them: no query of the window itself.
  Form* parent = Form::FromHwnd(GetParent(hwnd));
  return parent ? parent->ControlFor(hwnd) : nullptr;
}

bool Control::CreateChild(Form& parent, const wchar_t* className, DWORD style,
                          const ControlArgs& args) {
  if (!parent.hWnd() || hwnd_) return false;
  style |= WS_CHILD | WS_VISIBLE | args.style;
  if (args.tabStop) style |= WS_TABSTOP;
  if (!args.enabled) style |= WS_DISABLED;
  const int id = parent.NextControlId();
  HWND hwnd = CreateWindowExW(args.exStyle, className, std::wstring(args.text).c_str(), style,
                              args.left, args.top, args.width, args.height, parent.hWnd(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return false;
  // The record goes in first: the procedure finds it there from the first message on. A fixed
  // procedure and the user-data slot rather than SetWindowSubclass, whose bookkeeping is a
  // window property: under Wine every message would then ask the window server for it, twice.
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetLastError(0);
  baseProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::WindowProc)));
  if (!baseProc_ && GetLastError() != 0) {
    DestroyWindow(hwnd);
    return false;
  }
  hwnd_ = hwnd;
  parent_ = &parent;
  id_ = id;
  textColor_ = args.textColor;
  font_ = args.font;
  SendMessageW(hwnd, WM_SETFONT,
               reinterpret_cast<WPARAM>(args.font ? parent.FontFor(*args.font) : parent.DefaultFont()),
               FALSE);
  parent.RegisterControl(*this);
  return true;
}

void Control::RefreshFont() {
  if (!hwnd_ || !parent_) return;
  SendMessageW(hwnd_, WM_SETFONT,
               reinterpret_cast<WPARAM>(font_ ? parent_->FontFor(*font_) : parent_->DefaultFont()),
               TRUE);
}

void Control::Detach() {
  hwnd_ = nullptr;
  parent_ = nullptr;
}

LRESULT CALLBACK Control::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Control*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || self->hwnd_ != hwnd) {
    // Unhooked while another subclass still calls us: the class procedure answers.
    const auto classProc = reinterpret_cast<WNDPROC>(GetClassLongPtrW(hwnd, GCLP_WNDPROC));
    return classProc ? CallWindowProcW(classProc, hwnd, msg, wParam, lParam)
                     : DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  if (msg == WM_NCDESTROY) {
    const WNDPROC base = self->baseProc_;
    self->Unhook(hwnd);
    self->Detach();
    return CallWindowProcW(base, hwnd, msg, wParam, lParam);
  }
  if (msg == WM_SETFOCUS && self->parent_) self->parent_->OnControlFocused(*self);
  if (auto answer = self->OnMessage(msg, wParam, lParam)) return *answer;
  return self->CallBase(msg, wParam, lParam);
}

LRESULT Control::CallBase(UINT msg, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(baseProc_, hwnd_, msg, wParam, lParam);
}

std::optional<LRESULT> Control::OnMessage(UINT, WPARAM&, LPARAM&) { return std::nullopt; }

HBRUSH Control::OnCtlColor(HDC dc) {
  if (!textColor_) return nullptr;
  SetTextColor(dc, *textColor_);
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  return GetSysColorBrush(COLOR_WINDOW);
}

int Control::Id() const { return hwnd_ ? id_ : 0; }

namespace {
RECT RectInParent(HWND hwnd) {
  RECT r{};
  if (!hwnd) return r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}
}  // namespace

int Control::Left() const { return RectInParent(hwnd_).left; }
int Control::Top() const { return RectInParent(hwnd_).top; }
int Control::Width() const {
  const RECT r = RectInParent(hwnd_);
  return r.right - r.left;
}
int Control::Height() const {
  const RECT r = RectInParent(hwnd_);
  return r.bottom - r.top;
}

bool Control::Move(int left, std::optional<int> top, std::optional<int> width,
                   std::optional<int> height) {
  if (!hwnd_) return false;
  const RECT r = RectInParent(hwnd_);
  const int x = left, y = top.value_or(r.top);
  const int cx = width.value_or(r.right - r.left), cy = height.value_or(r.bottom - r.top);
  // Every layout sets every control; most are where they were (the first display lays out a
  // window that was made in place), and each move costs messages and a redraw.
  if (x == r.left && y == r.top && cx == r.right - r.left && cy == r.bottom - r.top) return false;
  SetWindowPos(hwnd_, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

bool Control::Enabled() const { return hwnd_ && IsWindowEnabled(hwnd_); }
void Control::SetEnabled(bool enabled) {
  // Every keystroke sets the pronunciation button's state: only a change goes to the system.
  if (hwnd_ && Enabled() != enabled) EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}
bool Control::Visible() const { return hwnd_ && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE); }
void Control::SetVisible(bool visible) {
  if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}
void Control::SetFocus() {
  if (hwnd_) ::SetFocus(hwnd_);
}
bool Control::HasFocus() const { return hwnd_ && GetFocus() == hwnd_; }

std::wstring Control::Text() const {
  if (!hwnd_) return {};
  const auto length = static_cast<size_t>(SendMessageW(hwnd_, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  const auto got = static_cast<size_t>(
      SendMessageW(hwnd_, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(std::min(got, length));
  return text;
}

// ---- TextBox -----------------------------------------------------------------------------

bool TextBox::Create(Form& parent, const ControlArgs& args) {
  ControlArgs a = args;
  a.exStyle |= WS_EX_CLIENTEDGE;
  if (!CreateChild(parent, L"EDIT", 0, a)) return false;
  // Typing is limited only by memory, like text that is assigned.
  SendMessageW(hWnd(), EM_SETLIMITTEXT, 0, 0);
  return true;
}

void TextBox::SetText(std::wstring_view text) {
  if (!hWnd()) return;
  // Putting back the text the box already holds would only make it redraw itself: reading it
  // stays inside this process, while a new text costs the window system several round trips.
  if (!Holds(text)) {
    // The edit control itself puts the caret at the start of a new text, nothing selected.
    assigning_ = true;
    SetWindowTextW(hWnd(), std::wstring(text).c_str());
    assigning_ = false;
  } else {
    // What a new text would also have done: no undo, not modified, the caret at the start.
    SendMessageW(hWnd(), EM_EMPTYUNDOBUFFER, 0, 0);
    SendMessageW(hWnd(), EM_SETMODIFY, FALSE, 0);
    SendMessageW(hWnd(), EM_SETSEL, 0, 0);
    SendMessageW(hWnd(), EM_SCROLLCARET, 0, 0);
  }
  RaiseChange();
}

void TextBox::RaiseChange() {
  if (onChange) onChange();
}

void TextBox::OnCommand(WORD notifyCode) {
  // During an assignment the platform may or may not report a change; SetText raises exactly
  // one itself once the text is in place.
  if (notifyCode == EN_CHANGE && !assigning_) RaiseChange();
}

bool TextBox::Holds(std::wstring_view text) const {
  return static_cast<size_t>(TextLength()) == text.size() && Text() == text;
}

int TextBox::TextLength() const {
  return hWnd() ? static_cast<int>(SendMessageW(hWnd(), WM_GETTEXTLENGTH, 0, 0)) : 0;
}

int TextBox::SelStart() const {
  DWORD start = 0, end = 0;
  if (hWnd()) SendMessageW(hWnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(start);
}

int TextBox::SelLength() const {
  DWORD start = 0, end = 0;
  if (hWnd()) SendMessageW(hWnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end - start);
}

void TextBox::SetSelStart(int start) {
  if (!hWnd()) return;
  const int s = std::clamp(start, 0, TextLength());
  SendMessageW(hWnd(), EM_SETSEL, static_cast<WPARAM>(s), s);
}

void TextBox::SetSelLength(int length) {
  if (!hWnd()) return;
  const int s = SelStart();
  const int e = std::clamp(s + std::max(length, 0), s, TextLength());
  SendMessageW(hWnd(), EM_SETSEL, static_cast<WPARAM>(s), e);
}

bool TextBox::ReadOnly() const { return hWnd() && (GetWindowLongW(hWnd(), GWL_STYLE) & ES_READONLY); }

HBRUSH TextBox::OnCtlColor(HDC dc) {
  if (!ReadOnly() && !textColor_) return nullptr;
  // A read-only box keeps the white page of a text, not the grey of a disabled one.
  SetTextColor(dc, textColor_.value_or(GetSysColor(COLOR_WINDOWTEXT)));
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  return GetSysColorBrush(COLOR_WINDOW);
}

std::optional<LRESULT> TextBox::OnMessage(UINT msg, WPARAM& wParam, LPARAM& lParam) {
  switch (msg) {
    case WM_CHAR:
      if (onKeyPress) {
        auto ch = static_cast<wchar_t>(wParam);
        onKeyPress(ch);
        if (ch == 0) return 0;  // the key is dropped
        wParam = ch;
      }
      break;
    case WM_SETFOCUS:
      if (onGotFocus) {
        const LRESULT r = CallBase(msg, wParam, lParam);
        onGotFocus();
        return r;
      }
      break;
    default:
      break;
  }
  return std::nullopt;
}

// ---- ListBox -----------------------------------------------------------------------------

bool ListBox::Create(Form& parent, const ControlArgs& args) {
  ControlArgs a = args;
  a.exStyle |= WS_EX_CLIENTEDGE;
  // No data: the list stores nothing per entry. No integral height: the layout decides the
  // height to the pixel. The scroll bar stays, disabled while every entry shows: showing and
  // hiding it would re-frame the list at most lookups.
  const DWORD style = LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_NODATA | LBS_NOINTEGRALHEIGHT |
                      LBS_DISABLENOSCROLL | WS_VSCROLL;
  if (!CreateChild(parent, L"LISTBOX", style, a)) return false;
  FitItemHeightToFont();
  return true;
}

void ListBox::RefreshFont() {
  Control::RefreshFont();
  FitItemHeightToFont();
}

void ListBox::FitItemHeightToFont() {
  // The entry height follows the list's font, which was set after the list measured itself.
  TEXTMETRICW tm{};
  {
    const WindowDc dc(hWnd());
    const SelectScope font(dc.dc(), reinterpret_cast<HFONT>(SendMessageW(hWnd(), WM_GETFONT, 0, 0)));
    GetTextMetricsW(dc.dc(), &tm);
  }
  if (tm.tmHeight > 0) SendMessageW(hWnd(), LB_SETITEMHEIGHT, 0, tm.tmHeight);
}

bool ListBox::SetCount(size_t count) {
  if (!hWnd()) return false;
  const LRESULT r = SendMessageW(hWnd(), LB_SETCOUNT, count, 0);
  ShowFromStart();
  // The same number of entries may now stand for other headwords: draw them again.
  InvalidateRect(hWnd(), nullptr, TRUE);
  return r != LB_ERR && r != LB_ERRSPACE;
}

void ListBox::ShowFromStart() {
  if (!hWnd()) return;
  // Both are answered inside this process; only a change goes on to the window system.
  if (SendMessageW(hWnd(), LB_GETCURSEL, 0, 0) != LB_ERR)
    SendMessageW(hWnd(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  if (SendMessageW(hWnd(), LB_GETTOPINDEX, 0, 0) > 0) SendMessageW(hWnd(), LB_SETTOPINDEX, 0, 0);
}

int ListBox::ListCount() const {
  return hWnd() ? static_cast<int>(SendMessageW(hWnd(), LB_GETCOUNT, 0, 0)) : 0;
}

int ListBox::ListIndex() const {
  return hWnd() ? static_cast<int>(SendMessageW(hWnd(), LB_GETCURSEL, 0, 0)) : -1;
}

void ListBox::SetListIndex(int index) {
  if (hWnd()) SendMessageW(hWnd(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int ListBox::ItemHeight() const {
  return hWnd() ? static_cast<int>(SendMessageW(hWnd(), LB_GETITEMHEIGHT, 0, 0)) : 0;
}

int ListBox::TopIndex() const {
  return hWnd() ? static_cast<int>(SendMessageW(hWnd(), LB_GETTOPINDEX, 0, 0)) : 0;
}

void ListBox::OnCommand(WORD notifyCode) {
  if (notifyCode == LBN_SELCHANGE && onClick) onClick();
}

bool ListBox::OnDrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT rc = item.rcItem;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  if (item.itemID != static_cast<UINT>(-1)) {
    FillRect(dc, &rc, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const std::wstring text = itemText ? itemText(item.itemID) : std::wstring();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                              : textColor_.value_or(GetSysColor(COLOR_WINDOWTEXT)));
    RECT textRect = rc;
    textRect.left += 2;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  // ODS_NOFOCUSRECT: the user has not used the keyboard in this window, so the focus stays
  // hidden, as in every other list.
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &rc);
  return true;
}

// ---- Buttons -----------------------------------------------------------------------------

bool Button::Create(Form& parent, const ControlArgs& args) {
  return CreateChild(parent, L"BUTTON", BS_PUSHBUTTON, args);
}

void Button::Click() {
  if (Enabled() && onClick) onClick();
}

bool Button::IsDefault() const {
  return hWnd() && (GetWindowLongW(hWnd(), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

void Button::OnCommand(WORD notifyCode) {
  if (notifyCode == BN_CLICKED && onClick) onClick();
}

std::optional<LRESULT> Button::OnMessage(UINT msg, WPARAM&, LPARAM&) {
  // A button answers the dialog question as a plain push button, so the platform's dialog
  // logic never decides on its own which button Enter presses; the form does.
  if (msg == WM_GETDLGCODE)
    return IsDefault() ? DLGC_BUTTON | DLGC_DEFPUSHBUTTON : DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
  return std::nullopt;
}

bool CheckBox::Create(Form& parent, const ControlArgs& args) {
  return CreateChild(parent, L"BUTTON", BS_AUTOCHECKBOX, args);
}

int CheckBox::Value() const {
  return hWnd() && SendMessageW(hWnd(), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void CheckBox::SetValue(int value) {
  if (hWnd()) SendMessageW(hWnd(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::OnCommand(WORD notifyCode) {
  if (notifyCode == BN_CLICKED && onClick) onClick();
}

// ---- Label and Picture -------------------------------------------------------------------

bool Label::Create(Form& parent, const ControlArgs& args, bool autoSize, bool wordWrap) {
  ControlArgs a = args;
  a.tabStop = false;  // a label holds a place in the tab order but never takes the focus
  wordWrap_ = wordWrap;
  rtl_ = (a.exStyle & WS_EX_RTLREADING) != 0;
  align_ = a.style & (SS_RIGHT | SS_CENTER);
  a.style &= ~static_cast<DWORD>(SS_RIGHT | SS_CENTER);
  DWORD style = SS_NOPREFIX;
  if (rtl_)
    style = SS_OWNERDRAW;
  else
    style |= align_ ? align_ : (wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
  if (!CreateChild(parent, L"STATIC", style, a)) return false;
  if (autoSize) AutoSizeToText();
  return true;
}

UINT Label::DrawFlags() const {
  UINT flags = DT_NOPREFIX | (wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE);
  if (RightAligned()) flags |= DT_RIGHT;
  if ((align_ & SS_TYPEMASK) == SS_CENTER) flags |= DT_CENTER;
  if (rtl_) flags |= DT_RTLREADING;
  return flags;
}

bool Label::OnDrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT rc = item.rcItem;
  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  const std::wstring text = Text();
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hWnd(), WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DrawFlags());
  SelectObject(dc, old);
  return true;
}

void Label::AutoSizeToText() {
  if (!hWnd()) return;
  const std::wstring text = Text();
  RECT r{0, 0, Width(), 0};
  {
    const WindowDc dc(hWnd());
    const SelectScope font(dc.dc(), reinterpret_cast<HFONT>(SendMessageW(hWnd(), WM_GETFONT, 0, 0)));
    DrawTextW(dc.dc(), text.c_str(), static_cast<int>(text.size()), &r, DrawFlags() | DT_CALCRECT);
  }
  // A wrapping label keeps its width and grows downwards; the others fit their one line and
  // keep the edge their text is aligned to.
  const int width = wordWrap_ ? Width() : r.right - r.left;
  const int left = RightAligned() && !wordWrap_ ? Left() + Width() - width : Left();
  Move(left, {}, width, r.bottom - r.top);
}

bool Picture::Create(Form& parent, const ControlArgs& args) {
  ControlArgs a = args;
  a.tabStop = false;
  return CreateChild(parent, L"STATIC", SS_BITMAP | SS_CENTERIMAGE, a);
}

void Picture::SetBitmap(HBITMAP bitmap) {
  if (hWnd()) {
    // The static control keeps its own copy of some bitmaps; the one it hands back is ours.
    const auto previous = reinterpret_cast<HBITMAP>(
        SendMessageW(hWnd(), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (previous && previous != bitmap_.get() && previous != bitmap) DeleteObject(previous);
  }
  if (bitmap != bitmap_.get()) bitmap_.reset(bitmap);
}

}  // namespace kelvara::toolkit
