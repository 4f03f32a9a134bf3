#include "LimitedWindow.h"

#include <cstring>
#include <limits>
#include <vector>

#include "toolkit/DpiScale.h"

namespace kelvara {

namespace {
// The window's DPI where Windows can tell it (Windows 10 1607 on), else the designs' 96.
int WindowDpi(HWND hWnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static const Fn getDpiForWindow = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  const UINT dpi = getDpiForWindow ? getDpiForWindow(hWnd) : 0;
  return dpi ? static_cast<int>(dpi) : kelvara::toolkit::kDesignDpi;
}
}  // namespace

namespace {

// One registered window. A vector of these keeps the handle, the four limits and the saved
// procedure of a window in step by construction.
struct LimitSlot {
  HWND hWnd;
  int16_t MinWidth;
  int16_t MinHeight;
  int16_t MaxWidth;
  int16_t MaxHeight;
  WNDPROC OldProc;
};

std::vector<LimitSlot>& Slots() {
  static std::vector<LimitSlot> slots;
  return slots;
}

int16_t NotNegative(int16_t limit) { return limit < 0 ? int16_t{0} : limit; }

// Removes a slot and keeps the later ones packed behind it; the last one out frees the table.
void RemoveSlot(int16_t index) {
  auto& slots = Slots();
  slots.erase(slots.begin() + index);
  if (slots.empty()) {
    slots.shrink_to_fit();
  }
}

}  // namespace

int16_t WindowLimitIndex(HWND hWnd) {
  if (hWnd == nullptr) {
    return -1;
  }
  const auto& slots = Slots();
  for (size_t i = 0; i < slots.size(); ++i) {
    if (slots[i].hWnd == hWnd) {
      return static_cast<int16_t>(i);
    }
  }
  return -1;
}

bool IsWindowLimited(HWND hWnd) { return WindowLimitIndex(hWnd) >= 0; }

int16_t WindowLimitCount() { return static_cast<int16_t>(Slots().size()); }

void LimitWindowSize(HWND hWnd, int16_t MinWidth, int16_t MinHeight, int16_t MaxWidth,
                     int16_t MaxHeight) {
  if (hWnd == nullptr || IsWindowLimited(hWnd)) {
    return;
  }
  auto& slots = Slots();
  // The count is a signed 16-bit number; a full table registers nothing more.
  if (slots.size() >= static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
    return;
  }
  // A previous procedure of 0 is ambiguous; only the last error tells a failure apart.
  SetLastError(ERROR_SUCCESS);
  const LONG_PTR previous = SetWindowLongPtrW(
      hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LimitedWindowProc));
  if (previous == 0 && GetLastError() != ERROR_SUCCESS) {
    // Another process's window, or one already destroyed: nothing was installed, so nothing is
    // registered either.
    return;
  }
  slots.push_back({hWnd, NotNegative(MinWidth), NotNegative(MinHeight), NotNegative(MaxWidth),
                   NotNegative(MaxHeight), reinterpret_cast<WNDPROC>(previous)});
}

void ReleaseWindowLimit(HWND hWnd) {
  const int16_t index = WindowLimitIndex(hWnd);
  if (index < 0) {
    return;
  }
  // A failed restore means the window is gone or was never ours to change; either way the slot
  // is dropped, so the tables never hold a handle that could be reused by a new window.
  SetWindowLongPtrW(hWnd, GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(Slots()[static_cast<size_t>(index)].OldProc));
  RemoveSlot(index);
}

LRESULT CALLBACK LimitedWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  const int16_t index = WindowLimitIndex(hWnd);

  if (uMsg == WM_GETMINMAXINFO) {
    // The record is copied out and back rather than written in place: lParam may be 0 when some
    // other program sends the message by hand.
    if (index >= 0 && lParam != 0) {
      const LimitSlot& slot = Slots()[static_cast<size_t>(index)];
      MINMAXINFO info;
      std::memcpy(&info, reinterpret_cast<const void*>(lParam), sizeof info);
      // The limits are pixels of a 96 dpi screen: at another scale the window's design grows
      // with its DPI, and so do they.
      const int dpi = WindowDpi(hWnd);
      const auto scaled = [dpi](int16_t limit) {
        return static_cast<LONG>(kelvara::toolkit::ScaleByDpi(limit, dpi));
      };
      if (slot.MinWidth > 0) info.ptMinTrackSize.x = scaled(slot.MinWidth);
      if (slot.MinHeight > 0) info.ptMinTrackSize.y = scaled(slot.MinHeight);
      if (slot.MaxWidth > 0) info.ptMaxTrackSize.x = scaled(slot.MaxWidth);
      if (slot.MaxHeight > 0) info.ptMaxTrackSize.y = scaled(slot.MaxHeight);
      std::memcpy(reinterpret_cast<void*>(lParam), &info, sizeof info);
    }
    // The window's own procedure never sees this message.
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  }

  if (index < 0) {
    // Only reachable if something else called this procedure for a window it never installed
    // on; there is no previous procedure to hand the message to.
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  }

  // Copied before the call: the previous procedure may release this window or register others,
  // which moves the slots.
  const WNDPROC previous = Slots()[static_cast<size_t>(index)].OldProc;
  const LRESULT result = CallWindowProcW(previous, hWnd, uMsg, wParam, lParam);

  if (uMsg == WM_NCDESTROY) {
    // A window that dies while registered frees its slot, so a new window that happens to get the
    // same handle is not taken for one already registered.
    ReleaseWindowLimit(hWnd);
  }
  return result;
}

}  // namespace kelvara
