// The benchmarks' instruments on real windows: the pump that ends a timing really leaves
// nothing undrawn, the plain yardstick window shows exactly what the main window shows, and a
// timed start reports a program that fails instead of timing it.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <string>
#include <vector>

#include "BaselineWindow.h"
#include "Idle.h"
#include "StartTiming.h"
#include "frmMain.h"
#include "lookup/DictionaryWriter.h"
#include "lookup/SearchWords.h"
#include "lookup/Suggest.h"
#include "toolkit/Utf.h"

namespace kelvara::bench {
namespace {

namespace fs = std::filesystem;

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return fs::path(path).parent_path().wstring();
}

// ---- PumpUntilIdle ---------------------------------------------------------------------------

constexpr UINT kCountMe = WM_APP + 7;
int g_counted = 0;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kCountMe) {
    // Work that makes more work: the pump must not stop after the first round.
    if (++g_counted < 3) PostMessageW(hwnd, kCountMe, 0, 0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class PumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KelvaraPumpTest";
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"pump", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                              10, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    list_ = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 5, 5, 200, 100,
                            window_, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(window_ && list_);
    g_counted = 0;
  }
  void TearDown() override { DestroyWindow(window_); }
  HWND window_ = nullptr, list_ = nullptr;
};

TEST_F(PumpTest, LeavesNoWindowWaitingToBePainted) {
  ASSERT_TRUE(PumpUntilIdle(window_));
  for (int i = 0; i < 50; ++i) SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"entry"));
  InvalidateRect(window_, nullptr, TRUE);
  ASSERT_TRUE(GetUpdateRect(list_, nullptr, FALSE));
  EXPECT_TRUE(PumpUntilIdle(window_));
  EXPECT_FALSE(GetUpdateRect(list_, nullptr, FALSE));
  EXPECT_FALSE(GetUpdateRect(window_, nullptr, FALSE));
}

TEST_F(PumpTest, HandlesMessagesThatHandlingPosts) {
  PostMessageW(window_, kCountMe, 0, 0);
  EXPECT_TRUE(PumpUntilIdle(window_));
  EXPECT_EQ(g_counted, 3);
}

// ---- The plain window against the main window ------------------------------------------------

class YardstickTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitCommonControls(); }

  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelvara-yardstick-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(dir_);
    std::vector<WordRow> rows;
    for (const char* w : {"abandon", "Abbey", "cab", "cat", "cat food", "catalogue", "dog"})
      rows.push_back({w, std::string("\xD9\x85\xD8\xB9\xD9\x86\xDB\x8C ") + w});
    // Enough rows for a scroll bar in both lists.
    for (int i = 0; i < 60; ++i) rows.push_back({"cattle" + std::to_string(i), "\xDA\xAF\xD8\xA7\xD9\x88"});
    ASSERT_EQ(WriteDictionaryFile(dir_ / "Data.db", rows), "");
    form_ = std::make_unique<frmMain>(frmMain::Startup{L"", {dir_}});
    ASSERT_TRUE(form_->Show());
    ASSERT_NE(form_->DictDb(), nullptr);
    form_->tmrClipboard.SetEnabled(false);
    ASSERT_TRUE(plain_.Create(*form_, 420, 10));
  }
  void TearDown() override {
    form_.reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Both windows show the same entries, in the same order, and the same meaning.
  void ExpectSameAsMainWindow(const std::wstring& word) {
    SCOPED_TRACE(toolkit::WideToUtf8(word));
    const int count = form_->lstWords.ListCount();
    const SearchResult looked = LookUpWord(*form_->DictDb(), toolkit::WideToUtf8(word));
    EXPECT_EQ(static_cast<std::size_t>(count), looked.matches.empty() ? looked.suggestions.size() : looked.matches.size());
    ASSERT_EQ(plain_.ListCount(), count);
    for (int i = 0; i < count; ++i) EXPECT_EQ(plain_.ListText(i), form_->ListText(i)) << i;
    EXPECT_EQ(plain_.Meaning(), form_->txtExp.Text());
  }

  fs::path dir_;
  std::unique_ptr<frmMain> form_;
  BaselineWindow plain_;
};

TEST_F(YardstickTest, ShowsWhatTheMainWindowShowsForEveryKindOfWord) {
  // "dgo" and "cta" match nothing: both list the suggestions.
  for (const wchar_t* word : {L"ab", L"cat", L"cat ", L"CAT", L"c?t", L"zebra", L"catt", L"d", L"dgo", L"cta"}) {
    form_->txtWord.SetText(word);
    plain_.Lookup(*form_->DictDb(), word);
    ExpectSameAsMainWindow(word);
    plain_.Lookup(*form_->DictDb(), word, /*redrawOff=*/true);
    ExpectSameAsMainWindow(word);
  }
  // A word with no match shows the not-found text in both; a typo its suggestions as well.
  form_->txtWord.SetText(L"zebra");
  plain_.Lookup(*form_->DictDb(), L"zebra");
  EXPECT_EQ(plain_.Meaning(), toolkit::Utf8ToWide(NotFoundText));
  plain_.Lookup(*form_->DictDb(), L"dgo");
  ASSERT_GE(plain_.ListCount(), 1);
  EXPECT_EQ(plain_.ListText(0), L"dog");
}

TEST_F(YardstickTest, IsAnOrdinaryListOfTheSameSizeAndFont) {
  const HWND list = plain_.ListHwnd();
  ASSERT_NE(list, nullptr);
  const auto style = static_cast<DWORD>(GetWindowLongW(list, GWL_STYLE));
  EXPECT_EQ(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE | LBS_NODATA | LBS_SORT), 0u);
  RECT a{}, b{};
  GetClientRect(list, &a);
  GetClientRect(form_->lstWords.hWnd(), &b);
  EXPECT_EQ(a.right - a.left, b.right - b.left);
  EXPECT_EQ(a.bottom - a.top, b.bottom - b.top);
  EXPECT_EQ(SendMessageW(list, WM_GETFONT, 0, 0), SendMessageW(form_->lstWords.hWnd(), WM_GETFONT, 0, 0));
  EXPECT_TRUE(IsWindowVisible(plain_.hWnd()));
}

// ---- Timed starts ----------------------------------------------------------------------------

TEST(StartTiming, TimesAWindowThatShowsAndClosesOnRequest) {
  const Launch l = StartAndClose(ProgramFolder() + L"\\kelvara-bench-window.exe", ProgramFolder(),
                                 L"Kelvara Bench Window");
  EXPECT_TRUE(l.ok) << l.problem;
  EXPECT_GT(l.visibleMs, 0);
  EXPECT_GE(l.idleMs, l.visibleMs);
}

TEST(StartTiming, AProgramThatEndsWithoutItsWindowIsAFailureNotATime) {
  // The dictionary maker without arguments prints its usage and ends with code 2.
  const Launch l = StartAndClose(ProgramFolder() + L"\\kelvara-bench-dict.exe", ProgramFolder(),
                                 L"Kelvara Bench Window");
  EXPECT_FALSE(l.ok);
  EXPECT_NE(l.problem.find("code 2"), std::string::npos) << l.problem;
}

TEST(StartTiming, AMissingProgramIsReported) {
  const Launch l = StartAndClose(ProgramFolder() + L"\\no-such-program.exe", ProgramFolder(), L"x");
  EXPECT_FALSE(l.ok);
  EXPECT_NE(l.problem.find("CreateProcess"), std::string::npos) << l.problem;
}

}  // namespace
}  // namespace kelvara::bench
