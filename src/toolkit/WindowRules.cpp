#include "WindowRules.h"

#include <utility>

namespace kelvara::toolkit {

WindowRuleCalls& WindowRules() {
  static WindowRuleCalls calls;
  return calls;
}

WindowRulesScope::WindowRulesScope(WindowRuleCalls calls)
    : previous_(std::exchange(WindowRules(), std::move(calls))) {}

WindowRulesScope::~WindowRulesScope() { WindowRules() = std::move(previous_); }

bool BringToFront(HWND hWnd) {
  if (!hWnd) return false;
  const WindowRuleCalls& calls = WindowRules();
  const BOOL front = calls.setForegroundWindow ? calls.setForegroundWindow(hWnd)
                                               : SetForegroundWindow(hWnd);
  if (front) return true;
  // Refused by the foreground lock: the user is told by the taskbar button, which flashes
  // until the window is activated.
  FLASHWINFO flash{};
  flash.cbSize = sizeof flash;
  flash.hwnd = hWnd;
  flash.dwFlags = FLASHW_TRAY | FLASHW_TIMERNOFG;
  if (calls.flashWindowEx) {
    calls.flashWindowEx(flash);
  } else {
    FlashWindowEx(&flash);
  }
  return false;
}

bool AllowToFront(DWORD processId) {
  const WindowRuleCalls& calls = WindowRules();
  return (calls.allowSetForegroundWindow ? calls.allowSetForegroundWindow(processId)
                                         : AllowSetForegroundWindow(processId)) != FALSE;
}

bool AllowMessageFromAnyProgram(HWND hWnd, UINT message) {
  const WindowRuleCalls& calls = WindowRules();
  return (calls.changeMessageFilter
              ? calls.changeMessageFilter(hWnd, message, MSGFLT_ALLOW)
              : ChangeWindowMessageFilterEx(hWnd, message, MSGFLT_ALLOW, nullptr)) != FALSE;
}

}  // namespace kelvara::toolkit
