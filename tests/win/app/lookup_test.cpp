// The main window's word lookup on a dictionary the test makes: what a user typing, clicking
// and deleting sees in the list, the meaning box and the pronunciation button.
#include <gtest/gtest.h>

#include <fstream>

#include "AppTestSupport.h"
#include "LimitedWindow.h"
#include "lookup/Suggest.h"
#include "toolkit/Clipboard.h"
#include "toolkit/Utf.h"

#include "SpeechVoice.h"

using namespace kelvara;
using namespace kelvara::testing;

namespace {

const wchar_t kCat[] = L"\u06AF\u0631\u0628\u0647";  // گربه

TEST(MainLookup, TypingAThenBListsTheHeadwordsBeginningWithEach) {
  MainWindowOn m;
  ASSERT_TRUE(m.shown);
  m.Type(L'a');
  EXPECT_EQ(m.List(), (std::vector<std::wstring>{L"abandon", L"Abbey"}));
  m.Type(L'b');
  EXPECT_EQ(m.form->txtWord.Text(), L"ab");
  EXPECT_EQ(m.List(), (std::vector<std::wstring>{L"abandon", L"Abbey"}));
  EXPECT_EQ(m.form->txtExp.Text(), L"\u062A\u0631\u06A9 \u06A9\u0631\u062F\u0646");
  EXPECT_TRUE(m.form->Command3.Enabled());
  // Letter case is ignored and "cab" does not begin with "ab".
  m.form->txtWord.SetText(L"ABB");
  EXPECT_EQ(m.List(), std::vector<std::wstring>{L"Abbey"});
}

TEST(MainLookup, EveryTypedLetterRunsOneLookup) {
  MainWindowOn m;
  int lookups = 0;  // each lookup writes the meaning box once
  m.form->txtExp.onChange = [&] { ++lookups; };
  m.Type(L"cat");
  EXPECT_EQ(lookups, 3);
  EXPECT_EQ(m.List(),
            (std::vector<std::wstring>{L"cat", L"cat food", L"catalog", L"catch"}));
  EXPECT_EQ(m.form->txtExp.Text(), kCat);
}

TEST(MainLookup, RefusedKeysAreDroppedWithoutAMessage) {
  MainWindowOn m;
  MsgBoxRecorder boxes;
  m.Type(L"ca");
  const auto before = m.List();
  for (wchar_t ch : {L'5', L'\'', L'-', L'\r', L'\t', L'.', static_cast<wchar_t>(0x06A9),
                     static_cast<wchar_t>(0x00E9), static_cast<wchar_t>(0x16)})
    m.Type(ch);
  EXPECT_EQ(m.form->txtWord.Text(), L"ca");
  EXPECT_EQ(m.List(), before);
  EXPECT_TRUE(boxes.boxes.empty());
  // The blank and backspace are letters of the word box too.
  m.Type(L' ');
  EXPECT_EQ(m.form->txtWord.Text(), L"ca ");
  EXPECT_TRUE(m.form->WordsRs().matches.empty()) << "no headword begins with \"ca \"";
  m.Type(L'\b');
  EXPECT_EQ(m.form->txtWord.Text(), L"ca");
}

TEST(MainLookup, ClickingAHeadwordMakesItTheWholeSelectedWordAndRebuildsTheList) {
  MainWindowOn m;
  m.Type(L"ca");
  ASSERT_EQ(m.List(), (std::vector<std::wstring>{L"cab", L"cat", L"cat food", L"catalog",
                                                 L"catch"}));
  m.ClickEntry(1);
  EXPECT_EQ(m.form->txtWord.Text(), L"cat");
  EXPECT_EQ(m.form->txtWord.SelStart(), 0);
  EXPECT_EQ(m.form->txtWord.SelLength(), 3);
  EXPECT_EQ(m.List(),
            (std::vector<std::wstring>{L"cat", L"cat food", L"catalog", L"catch"}));
  EXPECT_EQ(m.form->txtExp.Text(), kCat);
  // Typing now replaces the selected word.
  m.form->txtWord.SetFocus();
  m.form->txtWord.SetSelStart(0);
  m.form->txtWord.SetSelLength(3);
  m.Type(L'd');
  EXPECT_EQ(m.form->txtWord.Text(), L"d");
  EXPECT_EQ(m.List(), std::vector<std::wstring>{L"dog"});
}

TEST(MainLookup, DeletingTheWholeWordKeepsListAndMeaningAndDisablesPronunciation) {
  MainWindowOn m;
  m.Type(L"ab");
  m.Type(L'\b');  // "a": looked up again
  const auto list = m.List();
  const std::wstring meaning = m.form->txtExp.Text();
  EXPECT_EQ(list, (std::vector<std::wstring>{L"abandon", L"Abbey"}));
  EXPECT_TRUE(m.form->Command3.Enabled());
  m.Type(L'\b');  // empty: nothing is looked up
  EXPECT_EQ(m.form->txtWord.Text(), L"");
  EXPECT_EQ(m.List(), list);
  EXPECT_EQ(m.form->txtExp.Text(), meaning);
  EXPECT_FALSE(m.form->Command3.Enabled());
}

TEST(MainLookup, AWordThatMatchesNothingShowsTheNotFoundText) {
  MainWindowOn m;
  m.Type(L"cat");
  EXPECT_TRUE(m.form->Command3.Enabled());
  m.Type(L"\b\b\bqqqq");  // nothing within two edits of it either
  EXPECT_TRUE(m.List().empty());
  EXPECT_EQ(m.form->txtExp.Text(), NotFoundW());
  EXPECT_FALSE(m.form->Command3.Enabled());
}

TEST(MainLookup, AMistypedWordListsSuggestionsBelowTheNotFoundText) {
  MainWindowOn m;
  m.Type(L"catlog");
  // catalog is one letter away; cat, cab, catch are further or shorter: nearest first.
  const std::vector<std::wstring> listed = m.List();
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(listed.front(), L"catalog");
  EXPECT_LE(listed.size(), 5u);
  const std::wstring meaning = m.form->txtExp.Text();
  EXPECT_EQ(meaning.rfind(NotFoundW(), 0), 0u) << "the not-found message comes first";
  EXPECT_NE(meaning.find(L"\r\n\r\n" + toolkit::Utf8ToWide(kSuggestionsLabel) + L" catalog"), std::wstring::npos)
      << "then the suggestions, on one line after a blank";
  EXPECT_TRUE(m.form->Command3.Enabled()) << "the first suggestion can be spoken";
  EXPECT_EQ(m.form->txtWord.Text(), L"catlog") << "the typed word is left as typed";

  // Clicking a suggestion looks it up as any listed headword.
  m.ClickEntry(0);
  EXPECT_EQ(m.form->txtWord.Text(), L"catalog");
  EXPECT_EQ(m.List(), std::vector<std::wstring>{L"catalog"});
  EXPECT_EQ(m.form->txtExp.Text(), L"\u0641\u0647\u0631\u0633\u062A");  // فهرست
}

TEST(MainLookup, AnEmptyMeaningShowsEmptyAndCanStillBePronounced) {
  MainWindowOn m;
  m.Type(L"dog");
  EXPECT_EQ(m.List(), std::vector<std::wstring>{L"dog"});
  EXPECT_EQ(m.form->txtExp.Text(), L"");
  EXPECT_TRUE(m.form->Command3.Enabled());
}

// A meaning whose block of the file is damaged: the meaning box says so in Persian, and every
// other word still shows its meaning.
TEST(MainLookup, ADamagedMeaningShowsTheDamageTextAndTheRestStillWorks) {
  TempFolder folder;
  std::vector<WordRow> rows = TestRows();
  rows.push_back({"zebra", "\xDA\xAF\xD9\x88\xD8\xB1\xD8\xAE\xD8\xB1"});  // گورخر
  WriteOptions oneRowABlock;
  oneRowABlock.meaningBlockTarget = 1;
  WriteTestDictionary(folder.path(), rows, oneRowABlock);
  {
    // The file's last byte is the tag of the last block: the meaning of the last headword.
    std::fstream file(folder.path() / L"Data.db", std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(-1, std::ios::end);
    const char last = static_cast<char>(file.get());
    file.seekp(-1, std::ios::end);
    file.put(static_cast<char>(last ^ 0x01));
  }
  auto form = std::make_unique<frmMain>(frmMain::Startup{L"", {folder.path()}});
  ASSERT_TRUE(form->Show()) << "damage in a block is no reason not to start";
  SendMessageW(form->txtWord.hWnd(), WM_CHAR, L'z', 1);
  EXPECT_EQ(form->ListText(0), L"zebra");
  EXPECT_EQ(form->txtExp.Text(), toolkit::Utf8ToWide(DamagedMeaningText));
  form->txtWord.SetText(L"cat");
  EXPECT_EQ(form->txtExp.Text(), kCat);
  form->txtWord.SetText(L"zebra");
  EXPECT_EQ(form->txtExp.Text(), toolkit::Utf8ToWide(DamagedMeaningText)) << "every time it is read";
  form.reset();
  PumpFor(10);
  TakeQuitMessage();
}

TEST(MainLookup, QuotesAndBrokenPatternsAreOrdinaryText) {
  MainWindowOn m;
  MsgBoxRecorder boxes;
  // Text that arrives without the key filter (the clipboard watcher assigns it).
  m.form->txtWord.SetText(L"o'c");
  EXPECT_EQ(m.List(), std::vector<std::wstring>{L"o'clock"});
  m.form->txtWord.SetText(L"[no");
  EXPECT_EQ(m.List(), std::vector<std::wstring>{L"[note]"});
  m.form->txtWord.SetText(L"'");
  EXPECT_TRUE(m.List().empty());
  EXPECT_EQ(m.form->txtExp.Text(), NotFoundW());
  // Pattern characters keep their meaning: c?t matches cat; a blank is part of the prefix.
  m.form->txtWord.SetText(L"c?t");
  EXPECT_EQ(m.List().front(), L"cat");
  m.form->txtWord.SetText(L"cat ");
  EXPECT_EQ(m.List(), std::vector<std::wstring>{L"cat food"});
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST(MainLookup, AMegabyteOfTextIsOneLookupAndNoCrash) {
  MainWindowOn m;
  int lookups = 0;
  m.form->txtExp.onChange = [&] { ++lookups; };
  const std::wstring huge(1 << 20, L'a');
  m.form->txtWord.SetText(huge);
  EXPECT_EQ(lookups, 1);
  EXPECT_EQ(m.form->txtWord.TextLength(), 1 << 20);
  EXPECT_TRUE(m.List().empty());
  EXPECT_EQ(m.form->txtExp.Text(), NotFoundW());
  EXPECT_FALSE(m.form->Command3.Enabled());
}

TEST(MainLookup, TheWordBoxSelectsItsWholeTextWhenItTakesTheFocus) {
  MainWindowOn m;
  m.form->txtWord.SetText(L"cat");
  m.form->Command1.SetFocus();
  m.form->txtWord.SetFocus();
  EXPECT_EQ(m.form->txtWord.SelStart(), 0);
  EXPECT_EQ(m.form->txtWord.SelLength(), 3);
}

TEST(MainLookup, TheListHoldsEveryMatchWithoutCopyingThem) {
  std::vector<WordRow> rows;
  for (int i = 0; i < 20000; ++i) rows.push_back({"a" + std::to_string(100000 + i), "m"});
  MainWindowOn m(rows);
  m.Type(L'a');
  EXPECT_EQ(m.form->lstWords.ListCount(), 20000);
  EXPECT_EQ(m.form->ListText(19999), L"a119999");
  EXPECT_EQ(m.form->ListText(20000), L"");  // past the end: nothing, never a fault
  EXPECT_EQ(m.form->ListText(-1), L"");
}

// ---- Loading and closing -----------------------------------------------------------------

TEST(MainLoading, LoadingSetsUpTimerMenuLimiterIconsAndHotkey) {
  MainWindowOn m;
  ASSERT_TRUE(m.shown);
  HWND w = m.form->hWnd();
  EXPECT_TRUE(m.form->tmrClipboard.Enabled());
  EXPECT_TRUE(m.form->Word_menu->Checked());
  EXPECT_FALSE(m.form->Ballon_menu->Checked());
  EXPECT_FALSE(m.form->ShowBalloon);
  EXPECT_TRUE(IsWindowLimited(w));
  // The limiter keeps the window at least 385 x 300.
  SetWindowPos(w, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
  RECT r{};
  GetWindowRect(w, &r);
  EXPECT_EQ(r.right - r.left, 385);
  EXPECT_EQ(r.bottom - r.top, 300);
  // Shift+F9 is taken.
  EXPECT_FALSE(RegisterHotKey(nullptr, 1, MOD_SHIFT, VK_F9));
  // The window is visible with the focus in the word box.
  EXPECT_TRUE(m.form->Visible());
  EXPECT_TRUE(m.form->txtWord.HasFocus());
  EXPECT_NE(m.form->DictDb(), nullptr);
}

TEST(MainLoading, LoadingLeavesTheClipboardAsTheUserLeftIt) {
  ASSERT_TRUE(toolkit::Clipboard::SetText(L"copied before the start"));
  MainWindowOn m;
  ASSERT_TRUE(m.shown);
  EXPECT_EQ(toolkit::Clipboard::GetText(), L"copied before the start");
}

TEST(MainClosing, CloseButtonUnloadsReleasesTheLimiterAndEndsTheProgram) {
  MainWindowOn m;
  HWND w = m.form->hWnd();
  TakeQuitMessage();
  m.form->Command1.Click();
  EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(IsWindowLimited(w));
  EXPECT_EQ(WindowLimitCount(), 0);
  EXPECT_TRUE(TakeQuitMessage());
}

TEST(MainClosing, TheCloseBoxAndTheTrayMenuTakeTheSamePath) {
  {
    MainWindowOn m;
    HWND w = m.form->hWnd();
    TakeQuitMessage();
    SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsWindowLimited(w));
    EXPECT_TRUE(TakeQuitMessage());
  }
  {
    MainWindowOn m;
    HWND w = m.form->hWnd();
    TakeQuitMessage();
    m.form->mnuPopup.Dispatch(m.form->mnuPopup.CommandId(*m.form->Close_menu));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_TRUE(TakeQuitMessage());
  }
}

TEST(MainMenu, WordMenuSwitchesWatchingAndGreysTheBalloonEntry) {
  MainWindowOn m;
  const toolkit::Menu& menu = m.form->mnuPopup;
  menu.Dispatch(menu.CommandId(*m.form->Ballon_menu));
  EXPECT_TRUE(m.form->Ballon_menu->Checked());
  EXPECT_TRUE(m.form->ShowBalloon);
  menu.Dispatch(menu.CommandId(*m.form->Word_menu));
  EXPECT_FALSE(m.form->Word_menu->Checked());
  EXPECT_FALSE(m.form->WatchClipboard);
  EXPECT_FALSE(m.form->tmrClipboard.Enabled());
  EXPECT_FALSE(m.form->Ballon_menu->Enabled());
  EXPECT_TRUE(m.form->Ballon_menu->Checked());  // its own setting is kept
  menu.Dispatch(menu.CommandId(*m.form->Word_menu));
  EXPECT_TRUE(m.form->Word_menu->Checked());
  EXPECT_TRUE(m.form->WatchClipboard);
  EXPECT_TRUE(m.form->tmrClipboard.Enabled());
  EXPECT_TRUE(m.form->Ballon_menu->Enabled());
  EXPECT_TRUE(m.form->Ballon_menu->Checked());
}

// The dialogs are modal: closed from inside their own loop by a thread timer.
std::wstring g_dialogTitle;
bool g_mainEnabledDuringDialog = true;
HWND g_mainWindow = nullptr;
HICON g_dialogIcon = nullptr;

void CALLBACK CloseDialog(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = FindWindowW(L"KelvaraForm", g_dialogTitle.c_str());
  if (!dialog) return;
  g_mainEnabledDuringDialog = IsWindowEnabled(g_mainWindow) != 0;
  g_dialogIcon = reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0));
  KillTimer(nullptr, id);
  SendMessageW(dialog, WM_CLOSE, 0, 0);
}

void ExpectModalDialog(MainWindowOn& m, const wchar_t* title, toolkit::Button& opener) {
  g_dialogTitle = title;
  g_mainWindow = m.form->hWnd();
  g_mainEnabledDuringDialog = true;
  g_dialogIcon = nullptr;
  SetTimer(nullptr, 0, 50, CloseDialog);
  opener.Click();  // returns once the dialog is closed
  EXPECT_FALSE(g_mainEnabledDuringDialog) << title;
  EXPECT_NE(g_dialogIcon, nullptr) << title;  // set from "AAA" while it loaded
  EXPECT_TRUE(IsWindowEnabled(m.form->hWnd()));
  EXPECT_EQ(FindWindowW(L"KelvaraForm", title), nullptr);
  EXPECT_TRUE(m.form->IsLoaded());
  EXPECT_FALSE(TakeQuitMessage());  // closing a dialog does not end the program
}

TEST(MainDialogs, AboutAndOptionsOpenModallyAndReturnWhenClosed) {
  MainWindowOn m;
  ExpectModalDialog(m, L"About Dictionary", m.form->Command2);
  ExpectModalDialog(m, L"Options", m.form->Command4);
}

}  // namespace

namespace {

// ---- Pronunciation -----------------------------------------------------------------------

struct RecordingVoice : SpeechVoice {
  std::vector<std::wstring>* spoken;
  explicit RecordingVoice(std::vector<std::wstring>* s) : spoken(s) {}
  HRESULT Speak(std::wstring_view text, DWORD) override {
    if (text.empty()) return S_OK;  // the previous voice told to stop
    spoken->emplace_back(text);
    return S_OK;
  }
};

TEST(MainPronunciation, SpeaksTheFirstListedHeadwordWithANewVoiceEachClick) {
  MainWindowOn m;
  std::vector<std::wstring> spoken;
  int voices = 0;
  m.form->CreateVoice = [&] {
    ++voices;
    return VoiceCreation{std::make_shared<RecordingVoice>(&spoken), S_OK};
  };
  m.Type(L"ca");
  m.form->Command3.Click();
  EXPECT_EQ(spoken, std::vector<std::wstring>{L"cab"});  // not the typed "ca"
  const auto first = m.form->Voice;
  m.form->Command3.Click();
  EXPECT_EQ(voices, 2);
  EXPECT_NE(m.form->Voice, first);
  // A suggestion is spoken like a listed headword.
  m.Type(L"tz");  // "catz": nothing begins with it, cat is one edit away
  ASSERT_TRUE(m.form->Command3.Enabled());
  m.form->Command3.Click();
  EXPECT_EQ(spoken.back(), m.form->ListText(0));
  EXPECT_EQ(spoken.back(), L"cat");
  // Nothing to speak: the button is disabled, so a click does nothing at all.
  m.Type(L"\b\b\b\bqqqq");
  m.form->Command3.Click();
  EXPECT_EQ(voices, 3);
  EXPECT_EQ(spoken.size(), 3u);
}

TEST(MainPronunciation, ASpeechServiceThatCannotSpeakIsExplainedInPersian) {
  MainWindowOn m;
  MsgBoxRecorder boxes;
  m.form->CreateVoice = [] { return VoiceCreation{nullptr, REGDB_E_CLASSNOTREG}; };
  m.Type(L"cat");
  m.form->Command3.Click();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_TRUE(boxes.boxes[0].style & MB_RTLREADING);
  EXPECT_FALSE(boxes.boxes[0].text.empty());
  EXPECT_TRUE(m.form->IsLoaded());
}

}  // namespace
