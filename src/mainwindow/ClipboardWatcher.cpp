// The clipboard watcher: text copied anywhere is looked up at once and, depending on the
// window's state, shown in a balloon over the tray icon, brought back with the window, or
// selected in the shown window. It runs on the clipboard timer, before the hotkey check.
//
// The timer asks for 2 ms; the platform raises that to its smallest interval (10 ms), so the
// clipboard is looked at about every 110 ms and the hotkey is looked for on every tick. The
// text is fetched by a reader thread, and only when the clipboard has changed; a tick waits
// for it a little, so a small text is acted on in the same tick and a huge one, which the
// platform may take seconds to hand over, on a later read tick.
#include "frmMain.h"

#include "CopiedWord.h"
#include "toolkit/Clipboard.h"
#include "toolkit/WindowRules.h"

namespace kelvara {

namespace {
constexpr std::int16_t kTicksPerRead = 11;
constexpr DWORD kBalloonIconOfTheTray = 4;  // NIIF_USER: the balloon shows the tray icon
constexpr LONG kBalloonMs = 5000;
// The most of a copied text that goes into the word box: a text box's classic limit, far
// beyond any headword or paragraph. A whole document copied elsewhere would keep the window
// busy for seconds while the box lays its line out; it is looked up by its beginning.
constexpr std::size_t kLongestWord = 32767;

std::wstring_view WordPart(const std::wstring& copied) {
  if (copied.size() <= kLongestWord) return copied;
  std::size_t length = kLongestWord;
  // Never between the two halves of a surrogate pair.
  if ((copied[length - 1] & 0xFC00) == 0xD800) --length;
  return std::wstring_view(copied).substr(0, length);
}
}  // namespace

void frmMain::TakeClipboardAsSeen() {
  // Emptying the clipboard would destroy what the user copied before the program ran; taking
  // that text as already acted on keeps it from being picked up just the same.
  clipboardReader_.SkipCurrent();
  LastClipText = toolkit::Clipboard::GetText();
}

void frmMain::tmrClipboard_Timer() {
  CheckClipboard();
  CheckHotKey();
}

void frmMain::CheckClipboard() {
  // The count carries over when watching is switched off and on: it is never reset.
  TickCount = static_cast<std::int16_t>(TickCount + 1);
  if (TickCount >= kTicksPerRead) TickCount = 0;
  if (TickCount > 0) return;

  // From here on a failure ends the check silently, keeping TickCount and LastClipText as they
  // are; the hotkey check of the same tick runs all the same.
  try {
    const std::optional<std::wstring> read = clipboardReader_.Poll();
    if (!read) return;
    const std::wstring& copied = *read;
    const toolkit::WindowState state = GetWindowState();
    if (copied.empty() || copied == LastClipText) return;
    LastClipText = copied;
    // A short copy goes in cleaned and at its base form (books, -> book); a longer one as copied.
    const std::optional<CopiedWord> resolved = dict_ ? ResolveCopiedWord(*dict_, copied) : std::nullopt;
    txtWord.SetText(resolved ? std::wstring_view(resolved->word) : WordPart(copied));  // runs the lookup

    if (state == toolkit::WindowState::Minimized && ShowBalloon) {
      // In the tray with balloons on: the word and its meaning over the tray icon; the window
      // stays where it is. A minimised window always has a tray object, but should it not,
      // there is nothing to show the balloon on.
      if (!f_cSystray) return;
      f_cSystray->BalloonTitle(resolved ? resolved->title : copied);
      f_cSystray->BalloonText(BalloonMeaning(txtWord.Text(), wordsRs_, txtExp.Text()));
      f_cSystray->BalloonIcon(kBalloonIconOfTheTray);
      f_cSystray->BalloonShow(true, kBalloonMs, false);
    } else if (state == toolkit::WindowState::Minimized) {
      // In the tray with balloons off: the window comes back with the word selected. The new
      // text put the caret at its start, so the selection covers the whole word.
      RestoreNormal();
      Show();
      toolkit::BringToFront(hWnd());
      txtWord.SetSelLength(txtWord.TextLength());
      ReleaseTray();
    } else {
      txtWord.SetSelLength(txtWord.TextLength());
      SetFocus();
    }
  } catch (...) {
    // Out of memory for a huge copied text, most likely: the next new text is tried afresh.
  }
}

void frmMain::Word_menu_Click() {
  if (!Word_menu || !Ballon_menu) return;
  Word_menu->SetChecked(!Word_menu->Checked());
  // Balloons make sense only while the clipboard is watched; their own setting is kept.
  Ballon_menu->SetEnabled(Word_menu->Checked());
  WatchClipboard = Word_menu->Checked();
  // The timer carries the hotkey check too: off, neither the clipboard nor Shift+F9 (nor a
  // second start) is serviced, and a restore asked for before is dropped.
  tmrClipboard.SetEnabled(WatchClipboard);
  if (!WatchClipboard) restoreRequested_ = false;
}

void frmMain::Ballon_menu_Click() {
  if (!Ballon_menu) return;
  Ballon_menu->SetChecked(!Ballon_menu->Checked());
  ShowBalloon = Ballon_menu->Checked();
}

}  // namespace kelvara
