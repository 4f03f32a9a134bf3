// What the list and the meaning box show after each lookup, and that a lookup which changes
// nothing in them does not make them draw again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "lookup/SearchWords.h"

using namespace kelvara;
using namespace kelvara::testing;

namespace {

// 200 headwords a100000..a100199, and zebra.
std::vector<WordRow> ManyRows() {
  std::vector<WordRow> rows;
  for (int i = 0; i < 200; ++i) rows.push_back({"a" + std::to_string(100000 + i), "m"});
  rows.push_back({"zebra", "\xDA\xAF\xD9\x88\xD8\xB1\xD8\xAE\xD8\xB1"});  // گورخر
  return rows;
}

// Draws everything that waits to be drawn, so that what is invalid afterwards is new.
void DrawNow(const frmMain& form) {
  RedrawWindow(form.hWnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  PumpFor(10);
}

bool WaitsToBeDrawn(HWND hwnd) { return GetUpdateRect(hwnd, nullptr, FALSE) != FALSE; }

TEST(MainLookupView, EveryLookupShowsItsListFromTheFirstEntryWithNothingSelected) {
  MainWindowOn m(ManyRows());
  toolkit::ListBox& list = m.form->lstWords;
  m.Type(L'a');
  ASSERT_EQ(list.ListCount(), 200);
  // An entry selected and the list scrolled, then a word with other matches.
  list.SetListIndex(160);
  SendMessageW(list.hWnd(), LB_SETTOPINDEX, 150, 0);
  ASSERT_EQ(list.TopIndex(), 150);
  ASSERT_EQ(list.ListIndex(), 160);
  m.form->txtWord.SetText(L"a1000");  // a100000..a100099
  EXPECT_EQ(list.ListCount(), 100);
  EXPECT_EQ(list.TopIndex(), 0);
  EXPECT_EQ(list.ListIndex(), -1);
  // The same again with a word whose matches are the very ones listed already.
  m.form->txtWord.SetText(L"a100");  // all 200 again
  ASSERT_EQ(list.ListCount(), 200);
  list.SetListIndex(160);
  SendMessageW(list.hWnd(), LB_SETTOPINDEX, 150, 0);
  ASSERT_EQ(list.TopIndex(), 150);
  m.form->txtWord.SetText(L"a10");  // the same 200 rows
  EXPECT_EQ(list.ListCount(), 200);
  EXPECT_EQ(list.TopIndex(), 0);
  EXPECT_EQ(list.ListIndex(), -1);
  EXPECT_EQ(m.form->ListText(0), L"a100000");
}

TEST(MainLookupView, ALookupThatChangesNothingShownDrawsNothingAgainButStillRuns) {
  MainWindowOn m(ManyRows());
  m.Type(L"ze");
  ASSERT_EQ(m.List(), std::vector<std::wstring>{L"zebra"});
  const std::wstring meaning = m.form->txtExp.Text();
  int lookups = 0;  // each lookup writes the meaning box once
  m.form->txtExp.onChange = [&] { ++lookups; };
  DrawNow(*m.form);
  ASSERT_FALSE(WaitsToBeDrawn(m.form->lstWords.hWnd()));
  ASSERT_FALSE(WaitsToBeDrawn(m.form->txtExp.hWnd()));

  m.Type(L'b');  // zeb: the same row, the same meaning
  EXPECT_EQ(lookups, 1);
  EXPECT_EQ(m.List(), std::vector<std::wstring>{L"zebra"});
  EXPECT_EQ(m.form->txtExp.Text(), meaning);
  EXPECT_FALSE(WaitsToBeDrawn(m.form->lstWords.hWnd()));
  EXPECT_FALSE(WaitsToBeDrawn(m.form->txtExp.hWnd()));
  EXPECT_TRUE(m.form->Command3.Enabled());

  // Part of the meaning selected, as a reader may leave it: the same meaning written again
  // puts the caret back at its start, as a new text would.
  SendMessageW(m.form->txtExp.hWnd(), EM_SETSEL, 1, 3);
  m.Type(L'r');  // zebr
  EXPECT_EQ(lookups, 2);
  EXPECT_EQ(m.form->txtExp.SelStart(), 0);
  EXPECT_EQ(m.form->txtExp.SelLength(), 0);

  DrawNow(*m.form);
  m.Type(L'x');  // zebrx: nothing matches; zebra comes back as a suggestion, drawn anew
  EXPECT_EQ(lookups, 3);
  EXPECT_TRUE(m.form->WordsRs().matches.empty());
  EXPECT_EQ(m.List(), std::vector<std::wstring>{L"zebra"});
  EXPECT_EQ(m.form->txtExp.Text().rfind(NotFoundW(), 0), 0u);
  EXPECT_TRUE(WaitsToBeDrawn(m.form->lstWords.hWnd()));
  EXPECT_TRUE(WaitsToBeDrawn(m.form->txtExp.hWnd()));
  EXPECT_TRUE(m.form->Command3.Enabled());

  DrawNow(*m.form);
  m.Type(L"qqq");  // zebrxqqq: nothing near either; the message alone
  EXPECT_TRUE(m.List().empty());
  EXPECT_EQ(m.form->txtExp.Text(), NotFoundW());
  EXPECT_TRUE(WaitsToBeDrawn(m.form->lstWords.hWnd()));
  EXPECT_FALSE(m.form->Command3.Enabled());
}

// The pronunciation button goes by the meaning box's text, not by whether anything matched.
TEST(MainLookupView, AMeaningThatReadsLikeTheNotFoundTextDisablesPronunciation) {
  MainWindowOn m({{"odd", std::string(NotFoundText)}, {"even", "x"}});
  m.Type(L"even");
  EXPECT_TRUE(m.form->Command3.Enabled());
  m.form->txtWord.SetText(L"odd");
  EXPECT_EQ(m.List(), std::vector<std::wstring>{L"odd"});
  EXPECT_EQ(m.form->txtExp.Text(), NotFoundW());
  EXPECT_FALSE(m.form->Command3.Enabled());
}

TEST(MainLookupView, FiveSuggestionsShowWholeInTheMeaningBoxWithoutScrolling) {
  // Five headwords one letter from the typed word, each as long as most typed words.
  std::vector<WordRow> rows;
  for (char last : {'a', 'b', 'c', 'd', 'e'}) rows.push_back({std::string("mistyped") + last, "m"});
  MainWindowOn m(rows);
  m.Type(L"mistypedx");
  ASSERT_EQ(m.form->WordsRs().suggestions.size(), 5u);

  const HWND box = m.form->txtExp.hWnd();
  const auto lines = static_cast<int>(SendMessageW(box, EM_GETLINECOUNT, 0, 0));
  const LRESULT second = SendMessageW(box, EM_POSFROMCHAR, SendMessageW(box, EM_LINEINDEX, 1, 0), 0);
  const LRESULT first = SendMessageW(box, EM_POSFROMCHAR, SendMessageW(box, EM_LINEINDEX, 0, 0), 0);
  const int lineHeight = static_cast<short>(HIWORD(second)) - static_cast<short>(HIWORD(first));
  RECT format{};
  SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  ASSERT_GT(lineHeight, 0);
  EXPECT_LE(lines, (format.bottom - format.top) / lineHeight)
      << "the message and the suggestions take " << lines << " lines";
  EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

}  // namespace
