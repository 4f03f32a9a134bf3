// Shift+F9: looked for once per timer tick after the clipboard check, one per tick, only while
// clipboard watching is on, and answered with the restore action of the tray icon.
#include "ServicesFixture.h"
#include "Services.h"

namespace kelvara {
namespace {

using toolkit::WindowState;

class HotKey : public ServicesTest {
 protected:
  void SetUp() override { Start(); }
  void PressShiftF9() {
    PostMessageW(main->hWnd(), WM_HOTKEY, kHotKeyId, MAKELPARAM(MOD_SHIFT, VK_F9));
  }
  bool HotKeyWaiting() const {
    MSG msg;
    return PeekMessageW(&msg, main->hWnd(), WM_HOTKEY, WM_HOTKEY, PM_NOREMOVE) != FALSE;
  }
  void ExpectRestored() {
    EXPECT_TRUE(Shown());
    EXPECT_EQ(State(), WindowState::Normal);
    EXPECT_EQ(main->txtWord.SelStart(), 0);
    EXPECT_EQ(main->txtWord.SelLength(), main->txtWord.TextLength());
    EXPECT_EQ(main->f_cSystray, nullptr);
    EXPECT_EQ(LiveTrayObjects(), 0) << "no tray icon after the restore";
  }
};

TEST_F(HotKey, InTheTrayShiftF9BringsTheWindowBackWithTheWordSelected) {
  main->txtWord.SetText(L"book");
  StopTimer();
  ToTray();
  PressShiftF9();
  access->CheckHotKey();
  ExpectRestored();
  EXPECT_EQ(main->txtWord.SelLength(), 4);
}

TEST_F(HotKey, AMaximisedWindowComesBackNormal) {
  StopTimer();
  main->SetWindowState(WindowState::Maximized);
  PressShiftF9();
  access->CheckHotKey();
  ExpectRestored();
}

TEST_F(HotKey, OnlyOneIsTakenPerTickAndNothingHappensWithoutOne) {
  StopTimer();
  ToTray();
  access->CheckHotKey();
  EXPECT_FALSE(Shown()) << "no hotkey waiting: the window stays in the tray";
  EXPECT_NE(main->f_cSystray, nullptr);

  PressShiftF9();
  PressShiftF9();
  access->CheckHotKey();
  EXPECT_TRUE(Shown());
  EXPECT_TRUE(HotKeyWaiting()) << "the second press waits for the next tick";
  access->CheckHotKey();
  EXPECT_FALSE(HotKeyWaiting());
}

TEST_F(HotKey, TheRunningTimerPicksItUp) {
  ToTray();
  PressShiftF9();
  EXPECT_TRUE(PumpUntil([&] { return Shown(); }));
  ExpectRestored();
}

TEST_F(HotKey, WithWatchingOffShiftF9DoesNothingAndOnAgainItWorks) {
  main->Word_menu->onClick();
  ToTray();
  PressShiftF9();
  PumpFor(300);  // the ordinary dispatch gets it
  EXPECT_FALSE(Shown());
  EXPECT_FALSE(access->RestoreRequested()) << "nothing is kept for later either";
  main->Word_menu->onClick();
  PumpFor(100);
  EXPECT_FALSE(Shown()) << "a press made while watching was off stays without effect";
  PressShiftF9();
  EXPECT_TRUE(PumpUntil([&] { return Shown(); }));
}

TEST_F(HotKey, APressTheOrdinaryDispatchReachesFirstIsKeptForTheNextTick) {
  StopTimer();
  main->tmrClipboard.SetEnabled(true);  // watching on, but no tick until we say so
  ToTray();
  MSG msg{main->hWnd(), WM_HOTKEY, static_cast<WPARAM>(kHotKeyId), MAKELPARAM(MOD_SHIFT, VK_F9),
          0, {}};
  DispatchMessageW(&msg);  // as a busy thread's message loop would
  EXPECT_FALSE(Shown()) << "the restore waits for the hotkey check";
  EXPECT_TRUE(access->RestoreRequested());
  access->CheckHotKey();
  ExpectRestored();
  EXPECT_FALSE(access->RestoreRequested());
}

TEST_F(HotKey, TheMainWindowHoldsShiftF9) {
  HWND other = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  EXPECT_FALSE(RegisterHotKey(other, 1, MOD_SHIFT, VK_F9));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HOTKEY_ALREADY_REGISTERED));
  DestroyWindow(other);
}

TEST(HotKeyRegistration, AFailureIsLoggedWithTheSystemsOwnText) {
  // The failure is written to the debugger with the system's text, not shown to the user.
  const std::wstring line = FailureLine(L"RegisterHotKey(Shift+F9)", ERROR_HOTKEY_ALREADY_REGISTERED);
  EXPECT_EQ(line.rfind(L"Kelvara Dictionary: RegisterHotKey(Shift+F9) failed (1409): ", 0), 0u)
      << std::string(line.begin(), line.end());
  EXPECT_GT(line.size(), std::wstring(L"Kelvara Dictionary: RegisterHotKey(Shift+F9) failed (1409): ").size());
  EXPECT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos);
}

class HotKeyHeldElsewhere : public ServicesTest {};

TEST_F(HotKeyHeldElsewhere, TheProgramStartsNormally) {
  HWND other = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(RegisterHotKey(other, 7, MOD_SHIFT, VK_F9));
  Start();
  EXPECT_TRUE(Shown());
  EXPECT_TRUE(main->tmrClipboard.Enabled());
  UnregisterHotKey(other, 7);
  DestroyWindow(other);
}

}  // namespace
}  // namespace kelvara
