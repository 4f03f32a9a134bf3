// A top-level window made from a design, with the life of a form: load, show (modeless or
// modal), hide, unload. One window class and one window procedure serve every form; the C++
// object is bound to its window at WM_NCCREATE and let go at WM_NCDESTROY.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "Font.h"
#include "Handles.h"

namespace kelvara::toolkit {

class Control;
class Button;
class Menu;
class Timer;

enum class WindowState { Normal = 0, Minimized = 1, Maximized = 2 };
enum class ScaleUnit { Pixels, Twips };
enum class StartPosition { Manual, CenterScreen, CenterOwner };

struct FormArgs {
  std::wstring_view caption;
  DWORD style = WS_OVERLAPPEDWINDOW;
  DWORD exStyle = 0;
  int clientWidth = 0, clientHeight = 0;  // pixels at 96 dpi
  // The client size as designed, in twips; when given, converted at the window's actual DPI
  // rather than scaled from the pixels above.
  int clientWidthTwips = 0, clientHeightTwips = 0;
  // The smallest outer size at 96 dpi (scaled with the window's DPI); the window is never made
  // smaller than its client area needs.
  int minOuterWidth = 0, minOuterHeight = 0;
  int left = 0, top = 0;  // for StartPosition::Manual
  StartPosition start = StartPosition::CenterScreen;
  ScaleUnit scale = ScaleUnit::Pixels;
  bool keyPreview = false;
  FontDesc font;
};

// A line drawn on the form's background (the designs' line shapes).
struct LineShape {
  POINT from{}, to{};
  COLORREF color = RGB(0, 0, 0);
  int width = 1;
};

// Modifier bits handed to the key-down handler.
enum KeyShift : int { kShiftMask = 1, kCtrlMask = 2, kAltMask = 4 };

class Form {
 public:
  Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  HWND hWnd() const { return hwnd_; }
  bool IsLoaded() const { return hwnd_ != nullptr; }
  bool IsModal() const { return modal_; }

  // Creates the window and its controls and runs the load handler, once. False when the
  // window could not be made or the load handler refused (the window is gone again then).
  bool Load(HWND owner = nullptr);
  // Creates the window and its controls without running the load handler.
  bool Create(HWND owner = nullptr);
  // Modeless show; loads the form first when needed.
  bool Show();
  // Modal show: the other forms are disabled, and this returns once the form is unloaded.
  // Without an owner the active form of the program owns it. False when loading failed.
  bool ShowModal(Form* owner = nullptr);
  void Hide();
  bool Visible() const;
  // Runs the unload handler and destroys the window. When no form is left, the program ends.
  void Unload();

  WindowState GetWindowState() const;
  // Changing the state runs the resize handler (through WM_SIZE).
  void SetWindowState(WindowState state);

  // Client size in the form's scale unit.
  float ScaleWidth() const;
  float ScaleHeight() const;
  ScaleUnit Scale() const { return scale_; }
  int ClientWidth() const;
  int ClientHeight() const;

  void SetFocus();
  // Gives the keyboard focus to the first control in tab order that can take it.
  void FocusFirstControl();

  // Shows a menu at the mouse position; returns after the chosen entry's click handler ran.
  void PopupMenu(const Menu& menu);

  // The DPI the window is drawn at: its monitor's when it was made, then whatever
  // WM_DPICHANGED says. Everything measured in the designs' 96 dpi pixels is scaled by it.
  int Dpi() const { return dpi_; }
  // Re-lays the window out at a new DPI, as WM_DPICHANGED asks: fonts, the designed places of
  // the controls (onDesignDpi), then the suggested window rectangle, which runs the resize
  // handler. Tests send the message; Windows sends it when the window changes monitor or scale.
  void ApplyDpi(int dpi, const RECT* suggested);
  // Puts the controls where the design has them at a DPI; set by whoever built the form.
  std::function<void(int dpi)> onDesignDpi;
  // Called after every change of DPI, for what the form's owner chose by size (its icons).
  std::function<void(int dpi)> onDpiChanged;

  // The form's controls use these; fonts (made at the form's DPI) live as long as the form.
  HFONT FontFor(const FontDesc& desc);
  HFONT DefaultFont() { return FontFor(font_); }
  int NextControlId() { return nextControlId_++; }
  void AddLine(const LineShape& line) { lines_.push_back(line); }
  void ClearLines() { lines_.clear(); }
  const std::vector<LineShape>& Lines() const { return lines_; }
  // Enter presses the default button unless another button has the focus; Esc presses the
  // cancel button wherever the focus is.
  void SetDefaultButton(Button* button);
  void SetCancelButton(Button* button);
  Button* DefaultButton() const { return defaultButton_; }
  Button* CancelButton() const { return cancelButton_; }
  bool KeyPreview() const { return keyPreview_; }

  // Makes the window itself; a form's Build calls it before creating the controls.
  bool CreateFormWindow(const FormArgs& args, HWND owner);

  static Form* FromHwnd(HWND hwnd);
  // Keyboard handling shared by every message loop; true when the message was used up.
  static bool PreTranslateKey(MSG& msg);
  // Number of loaded forms in the program.
  static int LoadedCount();

 protected:
  // Makes the window (CreateFormWindow) and its controls.
  virtual bool Build(HWND owner) = 0;
  // Destroys the window without the unload handler. Derived forms call it from their
  // destructors, so that no message reaches a half-destroyed object.
  void DestroyQuietly();

  // Event handlers. Form_Load returning false abandons the load.
  virtual bool Form_Load() { return true; }
  virtual void Form_Unload(bool& /*cancel*/) {}
  virtual void Form_Resize() {}
  virtual void Form_KeyDown(int& /*keyCode*/, int /*shift*/) {}
  // The window's messages before the form's own handling; a value answers the message.
  virtual std::optional<LRESULT> OnMessage(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    return std::nullopt;
  }

 private:
  friend class Control;
  friend class Timer;
  static ATOM RegisterFormClass();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  bool HandleKey(MSG& msg);
  void OnControlFocused(Control& control);
  void RegisterControl(Control& control);
  void UnregisterControl(Control& control);
  void RegisterTimer(Timer& timer);
  void UnregisterTimer(Timer& timer);
  Control* ControlById(int id) const;
  Control* ControlFor(HWND hwnd) const;  // one of this form's controls, or none
  void RaiseResize();
  void Paint();
  void OnDestroyed();
  void EnableOtherForms();

  HWND hwnd_ = nullptr;
  int dpi_ = kDesignDpi;
  ScaleUnit scale_ = ScaleUnit::Pixels;
  FontDesc font_;
  bool keyPreview_ = false;
  bool built_ = false;      // controls exist: the resize handler may run
  bool shownOnce_ = false;  // the first show lays the form out
  bool modal_ = false;
  bool unloading_ = false;
  bool quietDestroy_ = false;  // destroyed by the destructor or a refused load
  std::optional<WindowState> pendingState_;
  HWND lastFocus_ = nullptr;
  int nextControlId_ = 100;  // clear of IDOK and IDCANCEL, which dialogs treat specially
  UINT_PTR nextTimerId_ = 1;
  std::vector<Control*> controls_;
  std::vector<Timer*> timers_;
  std::vector<HWND> disabledByModal_;
  struct CachedFont;
  std::vector<std::unique_ptr<CachedFont>> fonts_;
  std::vector<LineShape> lines_;
  Button* defaultButton_ = nullptr;
  Button* cancelButton_ = nullptr;
};

}  // namespace kelvara::toolkit
