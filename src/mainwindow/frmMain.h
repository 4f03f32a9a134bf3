// The main window: the word box, the result list and the meaning box, the four buttons, the
// clipboard timer and the tray menu, with the handlers that make them a dictionary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cSystray.h"
#include "lookup/Dictionary.h"
#include "lookup/SearchWords.h"
#include "ClipboardReader.h"
#include "shared/Constants.h"
#include "speech/SpeechVoice.h"
#include "toolkit/Control.h"
#include "toolkit/Form.h"
#include "toolkit/Menu.h"
#include "toolkit/Timer.h"

namespace kelvara {

namespace forms {
struct FormDesign;
const FormDesign& frmMainDesign();  // frmMainDesign.cpp
}  // namespace forms

// Exit code of a start that ends because the dictionary cannot be opened.
inline constexpr int kExitNoDictionary = 2;

class frmMain : public toolkit::Form {
 public:
  // How the window was started: the command-line arguments as one text and the folders where
  // Data.db is looked for, in order.
  struct Startup {
    std::wstring command;
    std::vector<std::filesystem::path> dictionaryFolders;
  };
  static Startup DefaultStartup();

  explicit frmMain(Startup startup = DefaultStartup());
  ~frmMain() override;

  // Controls, named as designed.
  toolkit::TextBox txtWord, txtExp;
  toolkit::ListBox lstWords;
  toolkit::Button Command1, Command2, Command3, Command4;
  toolkit::Label lblWord, lblWords, lblExp;
  toolkit::Timer tmrClipboard;
  // The tray menu and its entries.
  toolkit::Menu mnuPopup;
  toolkit::MenuItem* Word_menu = nullptr;
  toolkit::MenuItem* Ballon_menu = nullptr;
  toolkit::MenuItem* About_menu = nullptr;
  toolkit::MenuItem* Close_menu = nullptr;

  // The voice of the last pronunciation, and where the next click gets a new one from (tests
  // hand in a voice of their own).
  std::shared_ptr<SpeechVoice> Voice;
  VoiceFactory CreateVoice = CreateSapiVoice;
  // How each new tray object reaches the shell: the real one unless a test records the calls.
  cSystrayShell TrayShell;

  // Copies of the menu's check marks, read by the clipboard watcher.
  bool WatchClipboard = false;
  bool ShowBalloon = false;

 private:
  // Hands the tray object's events to the window's handlers. Declared before f_cSystray, so
  // that it outlives the object that calls it.
  struct TrayEvents final : cSystrayEvents {
    explicit TrayEvents(frmMain& form) : f(form) {}
    void MouseUp(std::int16_t& Button) override { f.f_cSystray_MouseUp(Button); }
    void MouseDblClick(std::int16_t& Button) override { f.f_cSystray_MouseDblClick(Button); }
    frmMain& f;
  };
  TrayEvents trayEvents_{*this};

 public:
  // The tray-icon object: present exactly while the window is in the tray.
  std::shared_ptr<cSystray> f_cSystray;
  // The clipboard watcher's memory for the window's life: the tick divider (0 to 10 between
  // ticks) and the clipboard text acted on last.
  std::int16_t TickCount = 0;
  std::wstring LastClipText;

  // The open dictionary and the last query's result (null and empty before loading).
  const Dictionary* DictDb() const { return dict_.get(); }
  const SearchResult& WordsRs() const { return wordsRs_; }
  // The text of list entry i, as the list shows it; empty outside the list.
  std::wstring ListText(int index) const;
  // Why loading stopped (kExitNoDictionary), or 0.
  int ExitCode() const { return exitCode_; }

  // Pop-up menu of the tray icon; returns after the chosen entry's handler ran.
  void ShowTrayMenu() { PopupMenu(mnuPopup); }

 protected:
  bool Build(HWND owner) override;
  bool Form_Load() override;
  void Form_Unload(bool& cancel) override;
  void Form_Resize() override;
  void Form_KeyDown(int& KeyCode, int Shift) override;

 private:
  // Word lookup
  void txtWord_Change();
  void txtWord_KeyPress(wchar_t& KeyAscii);
  void txtWord_GotFocus();
  void lstWords_Click();
  void SearchWords(const std::wstring& Word);
  bool MeaningIsNotFound() const;

  // Commands and menus
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void About_menu_Click();
  void Close_menu_Click();
  void Word_menu_Click();
  void Ballon_menu_Click();
  void ShowAboutDialog();
  void ShowSettingsDialog();

  // Steps of the loading sequence and the services on the clipboard timer.
  bool StartedForTray() const;
  bool OpenDictionaryStep();
  void TakeClipboardAsSeen();
  void RegisterHotKeyStep();
  void tmrClipboard_Timer();
  void CheckClipboard();
  void CheckHotKey();

  // Tray state
  void HideToTray();
  void ResizeMinimized();
  void ReleaseTray();
  void NewTrayObject();
  void RestoreNormal();
  void f_cSystray_MouseUp(std::int16_t& Button);
  void f_cSystray_MouseDblClick(std::int16_t& Button);

  // A second start, or a Shift+F9 that the ordinary dispatch reached before the hotkey check,
  // asks for the restore; the next hotkey check carries it out, while watching is on.
  void RequestRestore();
  std::optional<LRESULT> OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool listeningForRestore_ = false;
  bool restoreRequested_ = false;
  ClipboardReader clipboardReader_;
  friend class ServicesTestAccess;

  void WireHandlers();

  Startup startup_;
  std::unique_ptr<Dictionary> dict_;
  SearchResult wordsRs_;
  // Once a lookup has run, the list shows wordsRs_ and the meaning box its meaningText (only
  // lookups write them).
  bool meaningShown_ = false;
  int exitCode_ = 0;
};

}  // namespace kelvara
