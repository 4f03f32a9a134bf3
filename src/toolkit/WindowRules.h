// The calls through which a window meets two rules that Windows enforces and Wine does not:
// the foreground lock (only the process the user is working in may bring a window to the
// front, or pass that right on) and UIPI (a program running elevated hears no message from a
// less privileged one unless it lets that message through).
#pragma once

#include <windows.h>

#include <functional>

namespace kelvara::toolkit {

// Each part left empty means the real call; tests put in their own to record the calls.
struct WindowRuleCalls {
  std::function<BOOL(HWND)> setForegroundWindow;
  std::function<BOOL(const FLASHWINFO&)> flashWindowEx;
  std::function<BOOL(DWORD processId)> allowSetForegroundWindow;
  // ChangeWindowMessageFilterEx(hWnd, message, action, nullptr).
  std::function<BOOL(HWND, UINT message, DWORD action)> changeMessageFilter;
};

// The calls the program makes, for the whole process. Tests replace them with WindowRulesScope.
WindowRuleCalls& WindowRules();

// Puts calls in place for as long as it lives, then the previous ones back.
class WindowRulesScope {
 public:
  explicit WindowRulesScope(WindowRuleCalls calls);
  ~WindowRulesScope();
  WindowRulesScope(const WindowRulesScope&) = delete;
  WindowRulesScope& operator=(const WindowRulesScope&) = delete;

 private:
  WindowRuleCalls previous_;
};

// Makes a shown window the foreground window. Where Windows refuses (the user is working in
// another program), its taskbar button flashes until it is activated instead of nothing
// happening. True when the window is in front.
bool BringToFront(HWND hWnd);

// Lets the process processId bring its window to the front, a right only the process the user
// works in has to give. False when Windows refused.
bool AllowToFront(DWORD processId);

// Lets message reach hWnd from less privileged programs, should this one run elevated.
bool AllowMessageFromAnyProgram(HWND hWnd, UINT message);

}  // namespace kelvara::toolkit
