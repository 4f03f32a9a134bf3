// Against the notification area of Wine's shell desktop (the prefix runs one shared desktop
// with a taskbar).
#include "cSystray.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace kelvara;

namespace {

// Asks the shell itself: modifying an icon succeeds only when the shell has it.
bool InTheNotificationArea(HWND hWnd, UINT uID) {
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof probe;
  probe.hWnd = hWnd;
  probe.uID = uID;
  return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

// Passes every record on to the real shell, noting the icon's id and the additions.
struct ShellHolder : cSystrayEvents {
  ShellHolder()
      : tray(cSystray::Create(this, {[this](DWORD m, const NOTIFYICONDATAW& d) {
                                       NOTIFYICONDATAW copy = d;
                                       if (m == NIM_ADD) {
                                         uID = d.uID;
                                         ++adds;
                                       }
                                       return Shell_NotifyIconW(m, &copy);
                                     },
                                     {},
                                     {}})) {
    tray->SysTrayIconFromRes(L"AAA");
    tray->SysTrayToolTip(L"واژه نامه کلوارا");
    tray->SysTrayShow(true);
  }
  UINT uID = 0;
  int adds = 0;
  std::shared_ptr<cSystray> tray;
  HWND window = tray->lhWnd();
};

TEST(SystrayShell, TheIconIsInTheNotificationAreaWhileShown) {
  ShellHolder h;
  EXPECT_TRUE(h.tray->IsBalloonCapable());  // the real shell32's version was read
  EXPECT_TRUE(InTheNotificationArea(h.window, h.uID));
  h.tray->SysTrayShow(false);
  EXPECT_FALSE(InTheNotificationArea(h.window, h.uID));
  h.tray->SysTrayShow(true);
  EXPECT_TRUE(InTheNotificationArea(h.window, h.uID));
}

TEST(SystrayShell, AShellThatStartsAgainGetsTheIconBack) {
  ShellHolder h;
  NOTIFYICONDATAW forget{};
  forget.cbSize = sizeof forget;
  forget.hWnd = h.window;
  forget.uID = h.uID;
  Shell_NotifyIconW(NIM_DELETE, &forget);  // what a shell restart does to every icon
  ASSERT_FALSE(InTheNotificationArea(h.window, h.uID));
  PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return h.adds == 2; }));
  EXPECT_TRUE(InTheNotificationArea(h.window, h.uID));
}

}  // namespace
