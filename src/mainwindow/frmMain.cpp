// The main window's making, its loading sequence and the word lookup.
#include "frmMain.h"

#include "DictionaryDamageLog.h"
#include "DictionaryLocation.h"
#include "LimitedWindow.h"
#include "forms/Build.h"
#include "forms/Design.h"
#include "lookup/AllowKeys.h"
#include "lookup/Suggest.h"
#include "mMain.h"
#include "toolkit/Application.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Utf.h"

namespace kelvara {

namespace {
const std::wstring& NotFoundTextW() {
  static const std::wstring text = toolkit::Utf8ToWide(NotFoundText);
  return text;
}
}  // namespace

frmMain::Startup frmMain::DefaultStartup() {
  return {toolkit::Application::Command(), DictionaryFolders()};
}

frmMain::frmMain(Startup startup) : startup_(std::move(startup)) {
  forms::BuildMenu(mnuPopup, forms::frmMainDesign().menu);
  Word_menu = mnuPopup.Find(L"Word_menu");
  Ballon_menu = mnuPopup.Find(L"Ballon_menu");
  About_menu = mnuPopup.Find(L"About_menu");
  Close_menu = mnuPopup.Find(L"Close_menu");
  WireHandlers();
}

frmMain::~frmMain() {
  // The limiter must let go before the window dies even when the object goes without an
  // unload (tests); it ignores a window it does not hold.
  if (hWnd()) ReleaseWindowLimit(hWnd());
  DestroyQuietly();
}

void frmMain::WireHandlers() {
  txtWord.onChange = [this] { txtWord_Change(); };
  txtWord.onKeyPress = [this](wchar_t& ch) { txtWord_KeyPress(ch); };
  txtWord.onGotFocus = [this] { txtWord_GotFocus(); };
  lstWords.onClick = [this] { lstWords_Click(); };
  lstWords.itemText = [this](size_t i) { return ListText(static_cast<int>(i)); };
  Command1.onClick = [this] { Command1_Click(); };
  Command2.onClick = [this] { Command2_Click(); };
  Command3.onClick = [this] { Command3_Click(); };
  Command4.onClick = [this] { Command4_Click(); };
  tmrClipboard.onTimer = [this] { tmrClipboard_Timer(); };
  if (Word_menu) Word_menu->onClick = [this] { Word_menu_Click(); };
  if (Ballon_menu) Ballon_menu->onClick = [this] { Ballon_menu_Click(); };
  if (About_menu) About_menu->onClick = [this] { About_menu_Click(); };
  if (Close_menu) Close_menu->onClick = [this] { Close_menu_Click(); };
}

bool frmMain::Build(HWND owner) {
  const forms::Binding bindings[] = {
      {"txtWord", &txtWord},   {"txtExp", &txtExp},     {"lstWords", &lstWords},
      {"Command1", &Command1}, {"Command2", &Command2}, {"Command3", &Command3},
      {"Command4", &Command4}, {"lblWord", &lblWord},   {"lblWords", &lblWords},
      {"lblExp", &lblExp}};
  const forms::FormDesign& design = forms::frmMainDesign();
  if (!forms::BuildForm(*this, design, owner, bindings)) return false;
  for (const forms::TimerDesign& t : design.timers)
    if (t.name == "tmrClipboard") forms::BuildTimer(tmrClipboard, *this, t);
  return true;
}

// ---- Loading -----------------------------------------------------------------------------

bool frmMain::Form_Load() {
  // 1. Started with Windows: straight to the tray. The remaining steps run in either case.
  if (StartedForTray()) HideToTray();
  // 2. The window's icons.
  SetWindowIcons(hWnd(), kIconResource, true);
  // 3. The dictionary; without it the program cannot do anything and ends.
  if (!OpenDictionaryStep()) return false;
  // 4. The text on the clipboard now was copied before the program ran: never act on it.
  TakeClipboardAsSeen();
  // 5. Clipboard watching starts, agreeing with the checked Word_menu.
  tmrClipboard.SetEnabled(true);
  // 6. Balloon translation starts off, agreeing with ShowBalloon.
  if (Ballon_menu) Ballon_menu->SetChecked(false);
  // 7. Never smaller than the designed window.
  LimitWindowSize(hWnd(), 385, 300, 0, 0);
  // 8. Shift+F9 brings the window back.
  RegisterHotKeyStep();
  return true;
}

bool frmMain::StartedForTray() const {
  // Exactly "-t": letter case counts and nothing may stand beside it.
  return startup_.command == L"-t";
}

bool frmMain::OpenDictionaryStep() {
  DictionaryOpening opening = OpenDictionary(startup_.dictionaryFolders);
  if (opening.result.error == DictError::None && opening.result.dict) {
    dict_ = std::move(opening.result.dict);
    dict_->OnDamage(LogDictionaryDamage);
    return true;
  }
  toolkit::MsgBoxRtl(nullptr, OpenFailureMessage(opening), kProductTitle, MB_OK | MB_ICONERROR);
  exitCode_ = kExitNoDictionary;
  return false;
}

// ---- Word lookup -------------------------------------------------------------------------

void frmMain::txtWord_Change() {
  const std::wstring word = txtWord.Text();
  // An emptied box keeps the last list and meaning: nothing to look up.
  if (!word.empty()) SearchWords(word);
  Command3.SetEnabled(!word.empty() && !MeaningIsNotFound());
}

bool frmMain::MeaningIsNotFound() const {
  // After a lookup the meaning box holds the lookup's text: no need to ask the box for it.
  if (meaningShown_) return wordsRs_.meaningText == NotFoundText;
  return txtExp.Text() == NotFoundTextW();
}

void frmMain::SearchWords(const std::wstring& Word) {
  if (!dict_) return;
  // When nothing matches, the list shows what the user may have meant instead.
  SearchResult result = LookUpWord(*dict_, toolkit::WideToUtf8(Word));
  // A longer word often lists the very same rows: the list is then not told of a change, which
  // would only make it draw them all again. (The meaning box skips an unchanged text itself.)
  const bool sameRows = meaningShown_ && result.matches == wordsRs_.matches &&
                        result.suggestions == wordsRs_.suggestions;
  wordsRs_ = std::move(result);
  // The list holds no copies: it learns the number of rows and asks for the few it draws.
  if (sameRows) {
    lstWords.ShowFromStart();
  } else {
    lstWords.SetCount(wordsRs_.matches.empty() ? wordsRs_.suggestions.size() : wordsRs_.matches.size());
  }
  txtExp.SetText(toolkit::Utf8ToWide(wordsRs_.meaningText));
  meaningShown_ = true;
}

std::wstring frmMain::ListText(int index) const {
  if (index < 0) return {};
  const auto i = static_cast<size_t>(index);
  if (wordsRs_.matches.empty())
    return i < wordsRs_.suggestions.size() ? toolkit::Utf8ToWide(wordsRs_.suggestions[i]) : std::wstring();
  if (i >= wordsRs_.matches.size()) return {};
  return toolkit::Utf8ToWide(wordsRs_.matches.Headword(i));
}

void frmMain::lstWords_Click() {
  // Copied first: the assignment rebuilds the list the text comes from.
  const std::wstring word = ListText(lstWords.ListIndex());
  if (word.empty()) return;
  txtWord.SetText(word);
  // The new text starts with the caret at its beginning: this selects the whole word, so the
  // next letter typed replaces it.
  txtWord.SetSelLength(txtWord.TextLength());
}

void frmMain::txtWord_KeyPress(wchar_t& KeyAscii) {
  const AllowKeysResult r = AllowKeys(KeyAscii, Letters, kFalse);
  KeyAscii = static_cast<wchar_t>(r.key);
  if (r.showMessage)
    toolkit::MsgBox(hWnd(), toolkit::Utf8ToWide(r.message), toolkit::Utf8ToWide(kInvalidKeyTitle),
                    MB_OK | MB_ICONINFORMATION);
}

void frmMain::txtWord_GotFocus() {
  txtWord.SetSelStart(0);
  txtWord.SetSelLength(txtWord.TextLength());
}

}  // namespace kelvara
