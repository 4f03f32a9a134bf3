// Child controls of a form: thin wrappers that own no window (the form destroys its children)
// but carry the event handlers the form's code hooks into.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Font.h"
#include "Handles.h"

namespace kelvara::toolkit {

class Form;

// How a control is made. Geometry is in pixels of the form's client area.
struct ControlArgs {
  int left = 0, top = 0, width = 0, height = 0;
  std::wstring_view text{};
  const FontDesc* font = nullptr;  // null: the form's own font
  DWORD style = 0;                 // added to the kind's own styles
  DWORD exStyle = 0;
  bool tabStop = true;
  bool enabled = true;
  std::optional<COLORREF> textColor{};
};

class Control {
 public:
  Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  HWND hWnd() const { return hwnd_; }
  Form* Parent() const { return parent_; }
  int Id() const;

  // Position and size in pixels of the parent's client area.
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  // Omitted values stay as they are. True when the control moved or changed size: a control
  // already in place is left alone.
  bool Move(int left, std::optional<int> top = {}, std::optional<int> width = {},
            std::optional<int> height = {});
  bool SetLeft(int v) { return Move(v); }
  bool SetTop(int v) { return Move(Left(), v); }
  bool SetWidth(int v) { return Move(Left(), {}, v); }
  bool SetHeight(int v) { return Move(Left(), {}, {}, v); }

  bool Enabled() const;
  void SetEnabled(bool enabled);
  bool Visible() const;
  void SetVisible(bool visible);
  void SetFocus();
  bool HasFocus() const;

  // The window text (a caption, or a text box's contents).
  std::wstring Text() const;

  // Takes the font again from the form, made at the form's present DPI.
  virtual void RefreshFont();

  static Control* FromHwnd(HWND hwnd);

 protected:
  // Creates the child window and subclasses it; false when either fails.
  bool CreateChild(Form& parent, const wchar_t* className, DWORD style, const ControlArgs& args);

  // Called by the form for the messages it receives about this control.
  virtual void OnCommand(WORD /*notifyCode*/) {}
  virtual bool OnDrawItem(const DRAWITEMSTRUCT& /*item*/) { return false; }
  virtual HBRUSH OnCtlColor(HDC dc);
  // The control's own messages, before its class procedure sees them. Returning a value
  // answers the message; std::nullopt passes it on.
  virtual std::optional<LRESULT> OnMessage(UINT msg, WPARAM& wParam, LPARAM& lParam);
  // The class procedure's own answer, for a handler that acts after it.
  LRESULT CallBase(UINT msg, WPARAM wParam, LPARAM lParam);

  std::optional<COLORREF> textColor_;

 private:
  const FontDesc* font_ = nullptr;  // the design's font; null: the form's own
  friend class Form;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Unhook(HWND hwnd);
  void Detach();

  HWND hwnd_ = nullptr;
  Form* parent_ = nullptr;
  int id_ = 0;  // the child id it was made with: owner-drawn items find their control by it
  WNDPROC baseProc_ = nullptr;  // the class procedure the control had before ours
};

// A text box (EDIT). Assigning the text runs the change handler before SetText returns, and
// leaves the caret at the start with nothing selected, whether or not the text differs.
class TextBox : public Control {
 public:
  bool Create(Form& parent, const ControlArgs& args);

  std::wstring Text() const { return Control::Text(); }
  void SetText(std::wstring_view text);
  bool Holds(std::wstring_view text) const;  // the text is exactly this
  int TextLength() const;

  int SelStart() const;
  void SetSelStart(int start);  // moves the caret there, nothing selected
  int SelLength() const;
  void SetSelLength(int length);  // keeps the start
  bool ReadOnly() const;

  std::function<void()> onChange;
  // May replace the character; setting it to 0 drops the key.
  std::function<void(wchar_t& ch)> onKeyPress;
  std::function<void()> onGotFocus;

 protected:
  void OnCommand(WORD notifyCode) override;
  HBRUSH OnCtlColor(HDC dc) override;
  std::optional<LRESULT> OnMessage(UINT msg, WPARAM& wParam, LPARAM& lParam) override;

 private:
  void RaiseChange();
  bool assigning_ = false;
};

// A list box that holds no items of its own: it knows their count and asks for the text of
// the few it draws, so a list of any length costs the same to fill.
class ListBox : public Control {
 public:
  bool Create(Form& parent, const ControlArgs& args);

  // Replaces the entries by `count` entries, shown from the first; nothing is selected
  // afterwards.
  bool SetCount(size_t count);
  void Clear() { SetCount(0); }
  // What SetCount does to the view, for a refill with the very same entries: nothing selected,
  // the first entry at the top, and nothing drawn again that has not moved.
  void ShowFromStart();
  int ListCount() const;
  int ListIndex() const;  // -1: none selected
  void SetListIndex(int index);
  int ItemHeight() const;
  int TopIndex() const;
  void RefreshFont() override;

  std::function<std::wstring(size_t index)> itemText;
  std::function<void()> onClick;  // the selection changed by the user

 protected:
  void OnCommand(WORD notifyCode) override;
  bool OnDrawItem(const DRAWITEMSTRUCT& item) override;

 private:
  void FitItemHeightToFont();
};

class Button : public Control {
 public:
  bool Create(Form& parent, const ControlArgs& args);
  // Presses the button as the user would (only when enabled).
  void Click();
  bool IsDefault() const;

  std::function<void()> onClick;

 protected:
  void OnCommand(WORD notifyCode) override;
  std::optional<LRESULT> OnMessage(UINT msg, WPARAM& wParam, LPARAM& lParam) override;
};

class CheckBox : public Control {
 public:
  bool Create(Form& parent, const ControlArgs& args);
  int Value() const;  // 0 unchecked, 1 checked
  void SetValue(int value);

  std::function<void()> onClick;

 protected:
  void OnCommand(WORD notifyCode) override;
};

// A caption. With autoSize it takes the size of its text (its width too, unless it wraps).
// A right-to-left caption is drawn by the label itself, with right-to-left reading order:
// some platforms' static controls ignore that order and would put the full stop, a colon
// between words or a trailing number on the wrong side.
class Label : public Control {
 public:
  bool Create(Form& parent, const ControlArgs& args, bool autoSize, bool wordWrap);
  void AutoSizeToText();
  bool RightAligned() const { return (align_ & SS_TYPEMASK) == SS_RIGHT; }
  bool RightToLeft() const { return rtl_; }
  // The DrawText flags the caption is drawn and measured with.
  UINT DrawFlags() const;

 protected:
  bool OnDrawItem(const DRAWITEMSTRUCT& item) override;

 private:
  bool wordWrap_ = false;
  bool rtl_ = false;
  DWORD align_ = SS_LEFT;
};

// A picture that shows a bitmap it owns.
class Picture : public Control {
 public:
  Picture() = default;
  bool Create(Form& parent, const ControlArgs& args);
  // Takes ownership of the bitmap; the previous one is freed.
  void SetBitmap(HBITMAP bitmap);
  HBITMAP Bitmap() const { return bitmap_.get(); }

 private:
  UniqueHbitmap bitmap_;
};

}  // namespace kelvara::toolkit
