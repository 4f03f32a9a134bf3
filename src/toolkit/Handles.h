// Move-only owners of Win32 handles. Copying is deleted by std::unique_ptr; each deleter is the
// one function that frees that kind of handle.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace kelvara::toolkit {

template <auto Free>
struct HandleDeleter {
  template <class H>
  void operator()(H h) const noexcept {
    Free(h);
  }
};

template <class H, auto Free>
using UniqueHandleOf = std::unique_ptr<std::remove_pointer_t<H>, HandleDeleter<Free>>;

using UniqueHmenu = UniqueHandleOf<HMENU, DestroyMenu>;
using UniqueHicon = UniqueHandleOf<HICON, DestroyIcon>;
using UniqueHfont = UniqueHandleOf<HFONT, DeleteObject>;
using UniqueHbitmap = UniqueHandleOf<HBITMAP, DeleteObject>;
using UniqueHbrush = UniqueHandleOf<HBRUSH, DeleteObject>;
using UniqueHpen = UniqueHandleOf<HPEN, DeleteObject>;
using UniqueHandle = UniqueHandleOf<HANDLE, CloseHandle>;

// Windows: a top-level window that this object created and destroys. Child controls are not
// held this way; their parent destroys them.
using UniqueHwnd = UniqueHandleOf<HWND, DestroyWindow>;

// A window's painting from BeginPaint to EndPaint, ended however the scope is left.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {}
  ~PaintScope() { EndPaint(hwnd_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// A window's device context from GetDC, released however the scope is left.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// An object selected into a device context, the previous one put back when the scope ends.
// Declared after the owner of the object, so that the object is deselected before it is freed.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectScope() {
    if (previous_) SelectObject(dc_, previous_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace kelvara::toolkit
