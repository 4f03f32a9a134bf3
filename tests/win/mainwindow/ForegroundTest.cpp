// Coming to the front on Windows, where the foreground lock refuses SetForegroundWindow to a
// program the user is not working in: the calls the main window and a second start make,
// recorded, since Wine enforces no such lock.
#include "ServicesFixture.h"
#include "SecondStart.h"
#include "Services.h"
#include "toolkit/Clipboard.h"
#include "toolkit/WindowRules.h"

#include <string>
#include <vector>

namespace kelvara {
namespace {

using toolkit::WindowState;

// Records the calls; SetForegroundWindow is refused while `refuse` holds, as Windows does to a
// background program, and done for real otherwise.
struct RuleRecorder {
  toolkit::WindowRuleCalls Calls() {
    return {[this](HWND w) -> BOOL {
              log.push_back("SetForegroundWindow");
              foreground.push_back(w);
              return refuse ? FALSE : SetForegroundWindow(w);
            },
            [this](const FLASHWINFO& f) -> BOOL {
              log.push_back("FlashWindowEx");
              flashes.push_back(f);
              return TRUE;
            },
            [this](DWORD pid) -> BOOL {
              log.push_back("AllowSetForegroundWindow");
              allowed.push_back(pid);
              if (onAllow) onAllow();
              return TRUE;
            },
            [this](HWND w, UINT message, DWORD action) -> BOOL {
              filtered.push_back({w, message, action});
              return TRUE;
            }};
  }
  struct Filtered {
    HWND window;
    UINT message;
    DWORD action;
  };
  bool refuse = false;
  std::vector<std::string> log;
  std::vector<HWND> foreground;
  std::vector<FLASHWINFO> flashes;
  std::vector<DWORD> allowed;
  std::vector<Filtered> filtered;
  std::function<void()> onAllow;
};

class Foreground : public ServicesTest {
 protected:
  void SetUp() override { Start(); }
  void DoubleClickTrayIcon() {
    SendMessageW(main->f_cSystray->lhWnd(), cSystray::kCallbackMessage, cSystray::kIconId,
                 WM_LBUTTONDBLCLK);
  }
  RuleRecorder rules;
};

TEST_F(Foreground, TheRestoreActionMakesTheShownWindowTheForegroundWindow) {
  ToTray();
  toolkit::WindowRulesScope scope(rules.Calls());
  DoubleClickTrayIcon();
  ASSERT_TRUE(Shown());
  EXPECT_EQ(rules.foreground, std::vector<HWND>{main->hWnd()});
  EXPECT_TRUE(rules.flashes.empty());

  // Shift+F9 takes the same way.
  StopTimer();
  ToTray();
  PostMessageW(main->hWnd(), WM_HOTKEY, kHotKeyId, MAKELPARAM(MOD_SHIFT, VK_F9));
  access->CheckHotKey();
  ASSERT_TRUE(Shown());
  EXPECT_EQ(rules.foreground, (std::vector<HWND>{main->hWnd(), main->hWnd()}));
}

TEST_F(Foreground, WhereWindowsRefusesTheTaskbarButtonFlashesInstead) {
  ToTray();
  rules.refuse = true;
  toolkit::WindowRulesScope scope(rules.Calls());
  DoubleClickTrayIcon();
  ASSERT_TRUE(Shown()) << "shown all the same";
  EXPECT_EQ(rules.log, (std::vector<std::string>{"SetForegroundWindow", "FlashWindowEx"}));
  ASSERT_EQ(rules.flashes.size(), 1u);
  EXPECT_EQ(rules.flashes[0].cbSize, sizeof(FLASHWINFO));
  EXPECT_EQ(rules.flashes[0].hwnd, main->hWnd());
  EXPECT_EQ(rules.flashes[0].dwFlags, static_cast<DWORD>(FLASHW_TRAY | FLASHW_TIMERNOFG))
      << "until the user comes to it";
}

TEST_F(Foreground, ACopyInAnotherProgramWhileTheWindowIsOpenFlashesWhenRefused) {
  StopTimer();
  rules.refuse = true;
  toolkit::WindowRulesScope scope(rules.Calls());
  ASSERT_TRUE(toolkit::Clipboard::SetText(L"cat"));
  TickUntilRead();
  EXPECT_EQ(main->txtWord.Text(), L"cat");
  EXPECT_EQ(rules.foreground, std::vector<HWND>{main->hWnd()});
  ASSERT_EQ(rules.flashes.size(), 1u);
  EXPECT_EQ(rules.flashes[0].hwnd, main->hWnd());

  // In the tray with balloons off, the copy brings the window back to the front too.
  ToTray();
  ASSERT_TRUE(toolkit::Clipboard::SetText(L"book"));
  TickUntilRead();
  ASSERT_TRUE(Shown());
  EXPECT_EQ(rules.foreground.size(), 2u);
  EXPECT_EQ(rules.flashes.size(), 2u);
}

TEST_F(Foreground, ASecondStartLetsTheRunningCopyComeToTheFrontBeforeAskingIt) {
  ToTray();
  std::vector<bool> askedBeforeAllowed;
  rules.onAllow = [&] { askedBeforeAllowed.push_back(access->RestoreRequested()); };
  toolkit::WindowRulesScope scope(rules.Calls());
  EXPECT_TRUE(SignalRunningCopy());
  // This process is the running copy here.
  ASSERT_FALSE(rules.allowed.empty());
  EXPECT_EQ(rules.allowed.back(), GetCurrentProcessId());
  EXPECT_EQ(askedBeforeAllowed.back(), false) << "allowed first, then signalled";
  EXPECT_TRUE(access->RestoreRequested());
  EXPECT_TRUE(PumpUntil([&] { return Shown(); }));
  EXPECT_EQ(rules.foreground.back(), main->hWnd());
}

class ElevatedCopy : public ServicesTest {};

TEST_F(ElevatedCopy, TheSecondStartsMessageIsLetThroughTheMessageFilter) {
  RuleRecorder rules;
  toolkit::WindowRulesScope scope(rules.Calls());
  Start();
  ASSERT_EQ(rules.filtered.size(), 1u);
  EXPECT_EQ(rules.filtered[0].window, main->hWnd());
  EXPECT_EQ(rules.filtered[0].message, SecondStartMessage());
  EXPECT_EQ(rules.filtered[0].action, static_cast<DWORD>(MSGFLT_ALLOW));
}

}  // namespace
}  // namespace kelvara
