#include "LimitedWindow.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace kelvara;

namespace {

// Messages each test window's own procedure has seen, by window.
std::map<HWND, std::vector<UINT>>& Seen() {
  static std::map<HWND, std::vector<UINT>> seen;
  return seen;
}

constexpr UINT kPing = WM_APP + 7;

// Two classes with different procedures, so a message that reaches the wrong one shows up.
LRESULT CALLBACK FirstProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Seen()[hWnd].push_back(msg);
  if (msg == kPing) return 1000 + static_cast<LRESULT>(wParam);
  return DefWindowProcW(hWnd, msg, wParam, lParam);
}
LRESULT CALLBACK SecondProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Seen()[hWnd].push_back(msg);
  if (msg == kPing) return 2000 + static_cast<LRESULT>(wParam);
  return DefWindowProcW(hWnd, msg, wParam, lParam);
}

const wchar_t* RegisterTestClass(const wchar_t* name, WNDPROC proc) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = name;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  RegisterClassW(&wc);  // a second registration fails harmlessly
  return name;
}

HWND MakeWindow(WNDPROC proc = FirstProc, int width = 600, int height = 500) {
  const wchar_t* cls = proc == FirstProc ? RegisterTestClass(L"KelvaraLimiterFirst", FirstProc)
                                         : RegisterTestClass(L"KelvaraLimiterSecond", SecondProc);
  return CreateWindowExW(0, cls, L"limiter test", WS_OVERLAPPEDWINDOW, 40, 40, width, height,
                         nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

SIZE OuterSize(HWND hWnd) {
  RECT r{};
  GetWindowRect(hWnd, &r);
  return {r.right - r.left, r.bottom - r.top};
}

void ResizeTo(HWND hWnd, int width, int height) {
  SetWindowPos(hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

WNDPROC ProcOf(HWND hWnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hWnd, GWLP_WNDPROC)); }

// Asks the window for its limits the way the platform does, starting from a known record.
MINMAXINFO Query(HWND hWnd) {
  MINMAXINFO info{};
  info.ptMinTrackSize = {111, 222};
  info.ptMaxTrackSize = {3333, 4444};
  info.ptMaxSize = {555, 666};
  SendMessageW(hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  return info;
}

class LimitedWindowTest : public ::testing::Test {
 protected:
  HWND Track(HWND hWnd) {
    windows_.push_back(hWnd);
    return hWnd;
  }
  void TearDown() override {
    for (HWND w : windows_) {
      if (IsWindow(w)) {
        ReleaseWindowLimit(w);
        DestroyWindow(w);
      }
    }
    Seen().clear();
    // Every test leaves the module as it found it.
    EXPECT_EQ(WindowLimitCount(), 0);
  }
  std::vector<HWND> windows_;
};

}  // namespace

TEST_F(LimitedWindowTest, SizingBelowTheMinimumIsRaisedToIt) {
  HWND w = Track(MakeWindow());
  LimitWindowSize(w, 385, 300, 0, 0);
  ResizeTo(w, 100, 80);
  EXPECT_EQ(OuterSize(w).cx, 385);
  EXPECT_EQ(OuterSize(w).cy, 300);
  // Growing and maximising are not limited.
  ResizeTo(w, 900, 700);
  EXPECT_EQ(OuterSize(w).cx, 900);
  EXPECT_EQ(OuterSize(w).cy, 700);
  ShowWindow(w, SW_SHOWMAXIMIZED);
  EXPECT_TRUE(IsZoomed(w));
  EXPECT_GT(OuterSize(w).cx, 900);
  ShowWindow(w, SW_HIDE);
}

TEST_F(LimitedWindowTest, SizingAboveTheMaximumIsLoweredToIt) {
  HWND w = Track(MakeWindow());
  LimitWindowSize(w, 200, 150, 500, 400);
  ResizeTo(w, 900, 800);
  EXPECT_EQ(OuterSize(w).cx, 500);
  EXPECT_EQ(OuterSize(w).cy, 400);
  ResizeTo(w, 300, 250);
  EXPECT_EQ(OuterSize(w).cx, 300);
  EXPECT_EQ(OuterSize(w).cy, 250);
}

TEST_F(LimitedWindowTest, ZeroAndNegativeLimitsLeaveThePlatformsValue) {
  HWND w = Track(MakeWindow());
  LimitWindowSize(w, 0, -5, -32768, 420);
  MINMAXINFO info = Query(w);
  EXPECT_EQ(info.ptMinTrackSize.x, 111);
  EXPECT_EQ(info.ptMinTrackSize.y, 222);
  EXPECT_EQ(info.ptMaxTrackSize.x, 3333);
  EXPECT_EQ(info.ptMaxTrackSize.y, 420);
  // The other points are the platform's and never touched.
  EXPECT_EQ(info.ptMaxSize.x, 555);
  EXPECT_EQ(info.ptMaxSize.y, 666);
}

TEST_F(LimitedWindowTest, AllLimitsZeroSubclassesWithoutChangingAnySize) {
  HWND w = Track(MakeWindow());
  LimitWindowSize(w, 0, 0, 0, 0);
  EXPECT_TRUE(IsWindowLimited(w));
  EXPECT_EQ(ProcOf(w), &LimitedWindowProc);
  ResizeTo(w, 150, 120);
  EXPECT_EQ(OuterSize(w).cx, 150);
  EXPECT_EQ(OuterSize(w).cy, 120);
  MINMAXINFO info = Query(w);
  EXPECT_EQ(info.ptMinTrackSize.x, 111);
  EXPECT_EQ(info.ptMaxTrackSize.y, 4444);
}

TEST_F(LimitedWindowTest, TheWindowsOwnProcedureNeverSeesTheSizeQuery) {
  HWND w = Track(MakeWindow());
  LimitWindowSize(w, 385, 300, 0, 0);
  Seen().clear();
  ResizeTo(w, 100, 80);
  Query(w);
  const auto& seen = Seen()[w];
  EXPECT_FALSE(seen.empty());  // WM_WINDOWPOSCHANGING and friends still arrive
  for (UINT msg : seen) EXPECT_NE(msg, static_cast<UINT>(WM_GETMINMAXINFO));
}

TEST_F(LimitedWindowTest, SecondRegistrationKeepsTheFirstLimitsAndInstallsNothing) {
  HWND w = Track(MakeWindow());
  LimitWindowSize(w, 385, 300, 0, 0);
  LimitWindowSize(w, 200, 100, 250, 150);
  EXPECT_EQ(WindowLimitCount(), 1);
  EXPECT_EQ(WindowLimitIndex(w), 0);
  MINMAXINFO info = Query(w);
  EXPECT_EQ(info.ptMinTrackSize.x, 385);
  EXPECT_EQ(info.ptMinTrackSize.y, 300);
  EXPECT_EQ(info.ptMaxTrackSize.x, 3333);
  // Had the second call installed itself again, the saved procedure would be the limiter's own
  // and releasing would leave it in place (and every message would loop).
  ReleaseWindowLimit(w);
  EXPECT_EQ(ProcOf(w), &FirstProc);
  EXPECT_EQ(SendMessageW(w, kPing, 5, 0), 1005);
}

TEST_F(LimitedWindowTest, ReleasingTheOnlyWindowEmptiesTheTablesAndRestoresItsProcedure) {
  HWND a = Track(MakeWindow());
  LimitWindowSize(a, 385, 300, 0, 0);
  ReleaseWindowLimit(a);
  EXPECT_EQ(WindowLimitCount(), 0);
  EXPECT_FALSE(IsWindowLimited(a));
  EXPECT_EQ(WindowLimitIndex(a), -1);
  EXPECT_EQ(ProcOf(a), &FirstProc);
  ResizeTo(a, 150, 120);
  EXPECT_EQ(OuterSize(a).cx, 150);

  HWND b = Track(MakeWindow(SecondProc));
  LimitWindowSize(b, 385, 300, 0, 0);
  EXPECT_EQ(WindowLimitIndex(b), 0);
  EXPECT_EQ(WindowLimitCount(), 1);
  // Releasing again, or releasing a window never registered, changes nothing.
  ReleaseWindowLimit(a);
  EXPECT_EQ(WindowLimitIndex(b), 0);
  EXPECT_EQ(ProcOf(b), &LimitedWindowProc);
}

TEST_F(LimitedWindowTest, ReleasingTheFirstOfTwoMovesTheSecondDownWithItsLimitsAndProcedure) {
  HWND a = Track(MakeWindow(FirstProc));
  HWND b = Track(MakeWindow(SecondProc));
  HWND c = Track(MakeWindow(FirstProc));
  LimitWindowSize(a, 385, 300, 0, 0);
  LimitWindowSize(b, 410, 320, 700, 600);
  LimitWindowSize(c, 250, 200, 0, 0);
  EXPECT_EQ(WindowLimitIndex(a), 0);
  EXPECT_EQ(WindowLimitIndex(b), 1);
  EXPECT_EQ(WindowLimitIndex(c), 2);

  ReleaseWindowLimit(a);
  EXPECT_EQ(WindowLimitCount(), 2);
  EXPECT_EQ(WindowLimitIndex(b), 0);
  EXPECT_EQ(WindowLimitIndex(c), 1);
  MINMAXINFO info = Query(b);
  EXPECT_EQ(info.ptMinTrackSize.x, 410);
  EXPECT_EQ(info.ptMinTrackSize.y, 320);
  EXPECT_EQ(info.ptMaxTrackSize.x, 700);
  EXPECT_EQ(info.ptMaxTrackSize.y, 600);
  EXPECT_EQ(Query(c).ptMinTrackSize.x, 250);
  EXPECT_EQ(SendMessageW(b, kPing, 1, 0), 2001);
  EXPECT_EQ(SendMessageW(c, kPing, 2, 0), 1002);
  ResizeTo(b, 100, 100);
  EXPECT_EQ(OuterSize(b).cx, 410);

  // The last one out of the middle as well.
  ReleaseWindowLimit(c);
  EXPECT_EQ(WindowLimitIndex(b), 0);
  EXPECT_EQ(WindowLimitCount(), 1);
  EXPECT_EQ(SendMessageW(b, kPing, 3, 0), 2003);
}

TEST_F(LimitedWindowTest, EachWindowsOrdinaryMessagesReachItsOwnPreviousProcedure) {
  HWND a = Track(MakeWindow(FirstProc));
  HWND b = Track(MakeWindow(SecondProc));
  LimitWindowSize(a, 385, 300, 0, 0);
  LimitWindowSize(b, 385, 300, 0, 0);
  Seen().clear();
  EXPECT_EQ(SendMessageW(a, kPing, 7, 0), 1007);
  EXPECT_EQ(SendMessageW(b, kPing, 8, 0), 2008);
  EXPECT_EQ(Seen()[a], std::vector<UINT>{kPing});
  EXPECT_EQ(Seen()[b], std::vector<UINT>{kPing});
  // Posted messages and text pass through unchanged too.
  EXPECT_TRUE(SetWindowTextW(b, L"واژه نامه"));
  wchar_t text[32]{};
  GetWindowTextW(b, text, 32);
  EXPECT_STREQ(text, L"واژه نامه");
  PostMessageW(a, kPing, 9, 0);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_EQ(Seen()[a].back(), kPing);
}

TEST_F(LimitedWindowTest, HandleZeroIsIgnoredEverywhere) {
  LimitWindowSize(nullptr, 385, 300, 0, 0);
  EXPECT_EQ(WindowLimitCount(), 0);
  EXPECT_FALSE(IsWindowLimited(nullptr));
  EXPECT_EQ(WindowLimitIndex(nullptr), -1);
  ReleaseWindowLimit(nullptr);
  EXPECT_EQ(WindowLimitCount(), 0);
}

TEST_F(LimitedWindowTest, AWindowThatCannotBeSubclassedIsNotRegistered) {
  HWND gone = MakeWindow();
  DestroyWindow(gone);
  LimitWindowSize(gone, 385, 300, 0, 0);
  EXPECT_FALSE(IsWindowLimited(gone));
  EXPECT_EQ(WindowLimitCount(), 0);
  // Another process's window (the desktop's) cannot be subclassed from here either.
  HWND desktop = GetDesktopWindow();
  const LONG_PTR before = GetWindowLongPtrW(desktop, GWLP_WNDPROC);
  LimitWindowSize(desktop, 385, 300, 0, 0);
  EXPECT_FALSE(IsWindowLimited(desktop));
  EXPECT_EQ(GetWindowLongPtrW(desktop, GWLP_WNDPROC), before);
}

TEST_F(LimitedWindowTest, AWindowDestroyedWhileRegisteredFreesItsSlot) {
  HWND a = MakeWindow(FirstProc);
  HWND b = Track(MakeWindow(SecondProc));
  LimitWindowSize(a, 385, 300, 0, 0);
  LimitWindowSize(b, 410, 320, 0, 0);
  DestroyWindow(a);
  EXPECT_FALSE(IsWindowLimited(a));
  EXPECT_EQ(WindowLimitIndex(b), 0);
  EXPECT_EQ(Query(b).ptMinTrackSize.x, 410);
  // Its own procedure still saw the end of its life.
  EXPECT_EQ(Seen()[a].back(), static_cast<UINT>(WM_NCDESTROY));
}

TEST_F(LimitedWindowTest, ASizeQueryWithoutARecordIsAnsweredSafely) {
  HWND w = Track(MakeWindow());
  LimitWindowSize(w, 385, 300, 0, 0);
  EXPECT_EQ(SendMessageW(w, WM_GETMINMAXINFO, 0, 0), 0);
  EXPECT_TRUE(IsWindowLimited(w));
}

namespace {
// Releases its own limit while handling a message, as the main window does when it unloads.
LRESULT CALLBACK SelfReleasingProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    ReleaseWindowLimit(hWnd);
    Seen()[hWnd].push_back(msg);
    return 42;
  }
  return DefWindowProcW(hWnd, msg, wParam, lParam);
}
}  // namespace

TEST_F(LimitedWindowTest, AWindowMayReleaseItselfFromInsideItsOwnHandler) {
  const wchar_t* cls = RegisterTestClass(L"KelvaraLimiterSelfRelease", SelfReleasingProc);
  HWND other = Track(MakeWindow(SecondProc));
  HWND w = Track(CreateWindowExW(0, cls, L"self", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr));
  LimitWindowSize(w, 385, 300, 0, 0);
  LimitWindowSize(other, 300, 200, 0, 0);
  EXPECT_EQ(SendMessageW(w, WM_CLOSE, 0, 0), 42);
  EXPECT_FALSE(IsWindowLimited(w));
  EXPECT_EQ(ProcOf(w), &SelfReleasingProc);
  EXPECT_EQ(WindowLimitIndex(other), 0);
  EXPECT_EQ(SendMessageW(other, kPing, 4, 0), 2004);
}

namespace {
char g_ansiText[64];
LRESULT CALLBACK AnsiProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SETTEXT && lParam) {
    lstrcpynA(g_ansiText, reinterpret_cast<const char*>(lParam), sizeof g_ansiText);
  }
  return DefWindowProcA(hWnd, msg, wParam, lParam);
}
}  // namespace

TEST_F(LimitedWindowTest, AnAnsiWindowStillGetsAnsiMessagesThroughTheLimiter) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = AnsiProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = "KelvaraLimiterAnsi";
  RegisterClassA(&wc);
  HWND w = Track(CreateWindowExA(0, "KelvaraLimiterAnsi", "ansi", WS_OVERLAPPEDWINDOW, 0, 0, 500,
                                 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  LimitWindowSize(w, 385, 300, 0, 0);
  SetWindowTextW(w, L"apple");
  EXPECT_STREQ(g_ansiText, "apple");
  ResizeTo(w, 100, 100);
  EXPECT_EQ(OuterSize(w).cx, 385);
  ReleaseWindowLimit(w);
  SetWindowTextW(w, L"pear");
  EXPECT_STREQ(g_ansiText, "pear");
}
