// The clipboard watcher on a real main window: when it reads, what it takes as new, and the
// three things it does with a new text depending on the window's state.
#include "ServicesFixture.h"
#include "toolkit/Clipboard.h"

namespace kelvara {
namespace {

using toolkit::Clipboard;
using toolkit::WindowState;

class ClipboardWatcher : public ServicesTest {
 protected:
  void SetUp() override {
    Start();
    StopTimer();
  }
  // Sets the clipboard and ticks until the watcher has read it.
  void Copy(const std::wstring& text) {
    ASSERT_TRUE(Clipboard::SetText(text));
    TickUntilRead();
  }
  bool WholeWordSelected() const {
    return main->txtWord.SelStart() == 0 && main->txtWord.SelLength() == main->txtWord.TextLength();
  }
};

TEST_F(ClipboardWatcher, ReadsOnEveryEleventhTickOnlyAndKeepsCountingAcrossSwitchingOff) {
  main->TickCount = 0;  // the live timer ticked before it was stopped
  ASSERT_TRUE(Clipboard::SetText(L"apple"));
  for (int tick = 1; tick <= 10; ++tick) access->CheckClipboard();
  EXPECT_EQ(main->txtWord.Text(), L"");  // ten ticks: not read yet
  access->CheckClipboard();
  EXPECT_EQ(main->txtWord.Text(), L"apple");  // the eleventh

  ASSERT_TRUE(Clipboard::SetText(L"book"));
  for (int tick = 1; tick <= 4; ++tick) access->CheckClipboard();
  // Watching off and on again does not start the count afresh.
  main->Word_menu->onClick();
  main->Word_menu->onClick();
  for (int tick = 5; tick <= 10; ++tick) access->CheckClipboard();
  EXPECT_EQ(main->txtWord.Text(), L"apple");
  access->CheckClipboard();
  EXPECT_EQ(main->txtWord.Text(), L"book");
  EXPECT_EQ(main->TickCount, 0);
}

TEST_F(ClipboardWatcher, TextCopiedBeforeTheStartIsNeverTakenAndStaysOnTheClipboard) {
  for (int read = 0; read < 3; ++read) TickUntilRead();
  EXPECT_EQ(main->txtWord.Text(), L"");
  EXPECT_EQ(Clipboard::GetText(), L"before the start");
}

TEST_F(ClipboardWatcher, TheSameTextTwiceIsTakenOnceButABAIsTakenThreeTimes) {
  Copy(L"apple");
  main->txtWord.SetText(L"cat");  // the user types something else meanwhile
  Copy(L"apple");
  EXPECT_EQ(main->txtWord.Text(), L"cat") << "a text already acted on is not taken again";

  Copy(L"book");
  EXPECT_EQ(main->txtWord.Text(), L"book");
  Copy(L"apple");
  EXPECT_EQ(main->txtWord.Text(), L"apple");
}

TEST_F(ClipboardWatcher, AClipboardWithoutTextChangesNothing) {
  Copy(L"apple");
  // A picture: no text format on offer.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HBITMAP bitmap = CreateBitmap(8, 8, 1, 32, nullptr);
  ASSERT_NE(SetClipboardData(CF_BITMAP, bitmap), nullptr);
  CloseClipboard();
  TickUntilRead();
  EXPECT_EQ(main->txtWord.Text(), L"apple");
  EXPECT_EQ(main->LastClipText, L"apple");

  ASSERT_TRUE(Clipboard::Clear());
  TickUntilRead();
  EXPECT_EQ(main->txtWord.Text(), L"apple");
}

TEST_F(ClipboardWatcher, OnTheScreenTheWordIsLookedUpSelectedAndTheWindowTakesTheFocus) {
  HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               0, 0, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetForegroundWindow(other);
  PumpFor(50);
  Copy(L"appl");
  EXPECT_EQ(main->txtWord.Text(), L"appl");
  EXPECT_EQ(main->lstWords.ListCount(), 2);
  EXPECT_EQ(main->txtExp.Text(), L"سیب");
  EXPECT_TRUE(WholeWordSelected());
  EXPECT_EQ(GetForegroundWindow(), main->hWnd());
  EXPECT_EQ(main->f_cSystray, nullptr);
  DestroyWindow(other);
}

TEST_F(ClipboardWatcher, AMaximisedWindowStaysMaximised) {
  main->SetWindowState(WindowState::Maximized);
  Copy(L"cat");
  EXPECT_EQ(main->txtWord.Text(), L"cat");
  EXPECT_EQ(State(), WindowState::Maximized);
  EXPECT_TRUE(WholeWordSelected());
}

TEST_F(ClipboardWatcher, InTheTrayWithBalloonsOffTheWindowComesBackWithTheWord) {
  ToTray();
  ASSERT_FALSE(Shown());
  Copy(L"book");
  EXPECT_TRUE(Shown());
  EXPECT_EQ(State(), WindowState::Normal);
  EXPECT_EQ(main->txtWord.Text(), L"book");
  EXPECT_EQ(main->txtExp.Text(), L"کتاب");
  EXPECT_TRUE(WholeWordSelected());
  EXPECT_EQ(main->f_cSystray, nullptr);
  EXPECT_EQ(LiveTrayObjects(), 0) << "the tray icon goes with the tray object";
}

TEST_F(ClipboardWatcher, InTheTrayWithBalloonsOnTheMeaningGoesIntoABalloonAndTheWindowStaysHidden) {
  main->Ballon_menu->onClick();
  ASSERT_TRUE(main->ShowBalloon);
  ToTray();
  Copy(L"  Cat\r\n");  // a short copy: cleaned of its blanks
  EXPECT_FALSE(Shown());
  EXPECT_EQ(State(), WindowState::Minimized);
  ASSERT_NE(main->f_cSystray, nullptr);
  EXPECT_EQ(main->f_cSystray->BalloonTitle(), L"Cat");
  EXPECT_EQ(main->LastClipText, L"  Cat\r\n");
  EXPECT_EQ(main->f_cSystray->BalloonText(), main->txtExp.Text());
  EXPECT_EQ(main->f_cSystray->BalloonIcon(), 4u);

  Copy(L"zebra");
  EXPECT_EQ(main->f_cSystray->BalloonTitle(), L"zebra");
  EXPECT_EQ(main->f_cSystray->BalloonText(), NotFound());
  EXPECT_EQ(main->lstWords.ListCount(), 0);
}

TEST_F(ClipboardWatcher, EachCopiedWordIsOneBalloonNotificationWithItsTitleTextAndIcon) {
  // Windows 10 and 11 make every NIF_INFO modification a banner with its sound.
  ShellRecorder shell;
  main->TrayShell = shell.Seam();
  EndWindowFirst endFirst{*this};
  main->Ballon_menu->onClick();
  ToTray();
  HICON trayIcon = nullptr;
  for (const auto& call : shell.calls)
    if (call.message == NIM_ADD) trayIcon = call.data.hIcon;
  ASSERT_NE(trayIcon, nullptr);
  for (const wchar_t* word : {L"apple", L"book", L"zebra"}) {
    const std::size_t before = shell.calls.size();
    Copy(word);
    const auto balloons = shell.InfoModifications(before);
    ASSERT_EQ(balloons.size(), 1u) << "one notification per copy";
    const NOTIFYICONDATAW& sent = balloons[0].data;
    EXPECT_STREQ(sent.szInfoTitle, word);
    EXPECT_EQ(std::wstring(sent.szInfo), main->txtExp.Text());
    EXPECT_EQ(sent.dwInfoFlags, static_cast<DWORD>(NIIF_USER));
    EXPECT_EQ(sent.hBalloonIcon, trayIcon);
  }
}

TEST_F(ClipboardWatcher, ACopiedWordWithItsPunctuationShowsItsBaseFormsMeaning) {
  main->Ballon_menu->onClick();
  ToTray();
  Copy(L"books, ");
  EXPECT_EQ(main->txtWord.Text(), L"book");
  EXPECT_EQ(main->LastClipText, L"books, ") << "the raw copy, so that the same copy acts once";
  ASSERT_NE(main->f_cSystray, nullptr);
  EXPECT_EQ(main->f_cSystray->BalloonTitle(), L"books -> book");
  EXPECT_EQ(main->f_cSystray->BalloonText(), L"\u06A9\u062A\u0627\u0628");  // کتاب, book's own meaning

  // Only white space and punctuation removed: the title is the word alone.
  Copy(L"\u201CBook.\u201D");
  EXPECT_EQ(main->f_cSystray->BalloonTitle(), L"Book");
  EXPECT_EQ(main->txtWord.Text(), L"Book");

  // A prefix-only match: the balloon says whose meaning it shows.
  Copy(L"appl");
  EXPECT_EQ(main->f_cSystray->BalloonText(), L"apple\r\n\u0633\u06CC\u0628");
}

TEST_F(ClipboardWatcher, TheRawCopyDecidesWhetherATextIsNew) {
  Copy(L"books, ");
  EXPECT_EQ(main->txtWord.Text(), L"book");
  main->txtWord.SetText(L"cat");
  Copy(L"books, ");
  EXPECT_EQ(main->txtWord.Text(), L"cat") << "the same copy twice acts once";
  Copy(L"books");  // another copy of the same word acts
  EXPECT_EQ(main->txtWord.Text(), L"book");
}

TEST_F(ClipboardWatcher, AMisspelledCopyShowsNotFoundAndSuggestions) {
  Copy(L"bokk.");
  EXPECT_EQ(main->txtWord.Text(), L"bokk");
  ASSERT_GE(main->lstWords.ListCount(), 1);
  EXPECT_EQ(main->ListText(0), L"book");
  EXPECT_EQ(main->txtExp.Text().rfind(NotFound(), 0), 0u);
}

TEST_F(ClipboardWatcher, WithBalloonsOnButTheWindowShownNoBalloonIsShown) {
  main->Ballon_menu->onClick();
  Copy(L"apple");
  EXPECT_TRUE(Shown());
  EXPECT_EQ(main->f_cSystray, nullptr);
  EXPECT_EQ(LiveTrayObjects(), 0);
}

TEST_F(ClipboardWatcher, ABalloonWithoutATrayObjectEndsTheCheckQuietlyAndTheHotKeyStillRuns) {
  main->Ballon_menu->onClick();
  ToTray();
  main->f_cSystray.reset();  // what ordinary use never produces
  ASSERT_TRUE(Clipboard::SetText(L"apple"));
  main->TickCount = 10;  // the next tick reads
  PostMessageW(main->hWnd(), WM_HOTKEY, kHotKeyId, MAKELPARAM(MOD_SHIFT, VK_F9));
  access->Tick();
  EXPECT_EQ(main->txtWord.Text(), L"apple") << "the word was looked up before the failure";
  EXPECT_EQ(main->LastClipText, L"apple") << "and is not tried again";
  EXPECT_EQ(main->TickCount, 0);
  // The same tick's hotkey check brought the window back.
  EXPECT_TRUE(Shown());
  EXPECT_EQ(State(), WindowState::Normal);
}

TEST_F(ClipboardWatcher, OddTextsKeepTheWordListAndMeaningInStep) {
  const std::wstring texts[] = {L"a*", L"?at", L"#", L"[abc", L"[b-c]*", L"\"apple\"",
                                L"سیب", L"two\r\nlines", std::wstring(100'000, L'x')};
  for (const std::wstring& text : texts) {
    Copy(text);
    const std::wstring word = main->txtWord.Text();
    ASSERT_FALSE(word.empty());
    // Whatever the box made of the text, the list and meaning are those of the box's word:
    // its matches, or the not-found message and the suggestions listed.
    if (main->WordsRs().matches.empty()) {
      EXPECT_EQ(main->txtExp.Text().rfind(NotFound(), 0), 0u) << "for a copied text of " << text.size();
      EXPECT_EQ(static_cast<size_t>(main->lstWords.ListCount()), main->WordsRs().suggestions.size());
    } else {
      EXPECT_NE(main->txtExp.Text(), NotFound());
    }
  }
  // A whole document: its beginning is looked up, at once.
  std::wstring document;
  for (int i = 0; i < 1'000'000; ++i) document += L"apple ";
  Copy(document);
  EXPECT_EQ(main->txtWord.Text(), document.substr(0, 32767));
  EXPECT_EQ(main->txtExp.Text(), NotFound());
  EXPECT_EQ(main->LastClipText, document) << "the whole text counts as acted on";
  // Cut before a surrogate pair, not through it.
  Copy(std::wstring(32766, L'a') + L"\U0001F34E");
  EXPECT_EQ(main->txtWord.TextLength(), 32766);

  // A NUL ends the text the clipboard offers.
  Copy(std::wstring(L"cat\0dog", 7));
  EXPECT_EQ(main->txtWord.Text(), L"cat");
}

TEST_F(ClipboardWatcher, BallonMenuSwitchesBalloonsAndKeepsItsSettingWhileWatchingIsOff) {
  EXPECT_FALSE(main->Ballon_menu->Checked()) << "balloons start off";
  EXPECT_TRUE(main->Word_menu->Checked());
  main->Ballon_menu->onClick();
  EXPECT_TRUE(main->Ballon_menu->Checked());
  EXPECT_TRUE(main->ShowBalloon);

  main->Word_menu->onClick();
  EXPECT_FALSE(main->Word_menu->Checked());
  EXPECT_FALSE(main->WatchClipboard);
  EXPECT_FALSE(main->Ballon_menu->Enabled());
  EXPECT_FALSE(main->tmrClipboard.Enabled());
  EXPECT_TRUE(main->Ballon_menu->Checked());

  main->Word_menu->onClick();
  EXPECT_TRUE(main->WatchClipboard);
  EXPECT_TRUE(main->Ballon_menu->Enabled());
  EXPECT_TRUE(main->tmrClipboard.Enabled());
  EXPECT_TRUE(main->ShowBalloon);
}

TEST_F(ClipboardWatcher, WithWatchingOffNothingCopiedIsTaken) {
  main->tmrClipboard.SetEnabled(true);
  main->Word_menu->onClick();
  ASSERT_TRUE(Clipboard::SetText(L"apple"));
  PumpFor(400);  // a good many 10 ms periods of a timer that no longer ticks
  EXPECT_EQ(main->txtWord.Text(), L"");
  main->Word_menu->onClick();
  EXPECT_TRUE(PumpUntil([&] { return main->txtWord.Text() == L"apple"; }));
}

}  // namespace
}  // namespace kelvara
