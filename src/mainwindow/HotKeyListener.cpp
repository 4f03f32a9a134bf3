// Shift+F9 and the second start: both bring the main window back with the restore action of a
// double click on the tray icon, and only while clipboard watching is on, since the check runs
// on the clipboard timer's ticks.
#include "frmMain.h"

#include "Services.h"
#include "toolkit/WindowRules.h"

namespace kelvara {

namespace {
// The timer keeps a tick due, so the wait normally ends within its interval; the bound keeps
// the window alive should a tick ever run with the timer off.
constexpr DWORD kLongestWaitMs = 50;
}  // namespace

void frmMain::RegisterHotKeyStep() {
  // From here on the second start's message, and a Shift+F9 that the ordinary dispatch reaches
  // first, are heard (OnMessage).
  listeningForRestore_ = true;
  // Run elevated, the program would not hear a second start that is not.
  toolkit::AllowMessageFromAnyProgram(hWnd(), SecondStartMessage());
  // Another program may hold the combination: the program goes on without it, silently.
  if (!RegisterHotKey(hWnd(), kHotKeyId, kHotKeyModifiers, kHotKeyKey))
    LogFailure(L"RegisterHotKey(Shift+F9)", GetLastError());
}

void frmMain::CheckHotKey() {
  if (!hWnd()) return;
  // Waits for the next message of any kind, so that a hotkey arriving meanwhile is taken here
  // rather than by the ordinary dispatch.
  MsgWaitForMultipleObjectsEx(0, nullptr, kLongestWaitMs, QS_ALLINPUT, 0);
  MSG msg{};
  const bool hotKey = PeekMessageW(&msg, hWnd(), WM_HOTKEY, WM_HOTKEY, PM_REMOVE) != FALSE;
  if (!hotKey && !restoreRequested_) return;
  // One restore per tick, whatever asked for it.
  restoreRequested_ = false;
  std::int16_t Button = 1;
  f_cSystray_MouseDblClick(Button);
}

void frmMain::RequestRestore() {
  // Exactly as the hotkey: nothing while watching is off.
  if (tmrClipboard.Enabled()) restoreRequested_ = true;
}

std::optional<LRESULT> frmMain::OnMessage(UINT msg, WPARAM wParam, LPARAM) {
  if (!listeningForRestore_) return std::nullopt;
  if (msg == WM_HOTKEY && wParam == static_cast<WPARAM>(kHotKeyId)) {
    RequestRestore();
    return 0;
  }
  if (msg != 0 && msg == SecondStartMessage() && wParam == kSecondStartAsk) {
    RequestRestore();
    return kSecondStartReply;
  }
  return std::nullopt;
}

}  // namespace kelvara
