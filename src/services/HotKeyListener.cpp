// Shift+F9 and the second start: both bring the main window back with the restore action of a
// double click on the tray icon, and only while clipboard watching is on, since the check runs
// on the clipboard timer's ticks.
#include "frmMain.h"

#include <commctrl.h>

#include "Services.h"

namespace kelvara {

namespace {
constexpr UINT_PTR kServicesSubclassId = 0x4B56;
// The timer keeps a tick due, so the wait normally ends within its interval; the bound keeps
// the window alive should a tick ever run with the timer off.
constexpr DWORD kLongestWaitMs = 50;
}  // namespace

void frmMain::RegisterHotKeyStep() {
  // The second start's message, and a Shift+F9 that the ordinary dispatch reaches first, are
  // heard through a subclass of the window.
  if (!SetWindowSubclass(hWnd(), &frmMain::ServicesProc, kServicesSubclassId,
                         reinterpret_cast<DWORD_PTR>(this)))
    LogFailure(L"SetWindowSubclass of the main window", GetLastError());
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

LRESULT CALLBACK frmMain::ServicesProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR refData) {
  auto* form = reinterpret_cast<frmMain*>(refData);
  if (msg == WM_HOTKEY && wParam == static_cast<WPARAM>(kHotKeyId)) {
    form->RequestRestore();
    return 0;
  }
  if (msg != 0 && msg == SecondStartMessage() && wParam == kSecondStartAsk) {
    form->RequestRestore();
    return kSecondStartReply;
  }
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &frmMain::ServicesProc, id);
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace kelvara
