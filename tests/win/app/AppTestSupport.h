// Test dictionaries in folders of their own, and a main window started on them.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../toolkit/TestSupport.h"
#include "frmMain.h"
#include "lookup/DictionaryWriter.h"

namespace kelvara::testing {

// A fresh empty folder under the temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    path_ = std::filesystem::path(base) /
            (L"kelvara-app-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The test dictionary: headwords that exercise prefixes, blanks, case, an empty meaning and
// characters that mean something in a pattern.
inline std::vector<WordRow> TestRows() {
  return {
      {"abandon", "\xD8\xAA\xD8\xB1\xDA\xA9 \xDA\xA9\xD8\xB1\xD8\xAF\xD9\x86"},  // ترک کردن
      {"Abbey", "\xD8\xB5\xD9\x88\xD9\x85\xD8\xB9\xD9\x87"},                      // صومعه
      {"cab", "\xD8\xAA\xD8\xA7\xDA\xA9\xD8\xB3\xDB\x8C"},                        // تاکسی
      {"cat", "\xDA\xAF\xD8\xB1\xD8\xA8\xD9\x87"},                                // گربه
      {"cat food", "\xD8\xBA\xD8\xB0\xD8\xA7\xDB\x8C \xDA\xAF\xD8\xB1\xD8\xA8\xD9\x87"},
      {"catalog", "\xD9\x81\xD9\x87\xD8\xB1\xD8\xB3\xD8\xAA"},
      {"catch", "\xDA\xAF\xD8\xB1\xD9\x81\xD8\xAA\xD9\x86"},
      {"dog", ""},
      {"o'clock", "\xD8\xB3\xD8\xA7\xD8\xB9\xD8\xAA"},
      {"[note]", "\xDB\x8C\xD8\xA7\xD8\xAF\xD8\xAF\xD8\xA7\xD8\xB4\xD8\xAA"},
  };
}

inline void WriteTestDictionary(const std::filesystem::path& folder,
                                const std::vector<WordRow>& rows = TestRows(),
                                const WriteOptions& options = {}) {
  WriteOptions fast = options;
  fast.kdfIterations = 1000;  // the tests open many dictionaries; the strength is not tested here
  const std::string error = WriteDictionaryFile(folder / L"Data.db", rows, fast);
  ASSERT_EQ(error, "");
}

// A main window on a test dictionary, loaded and shown.
struct MainWindowOn {
  TempFolder folder;
  std::unique_ptr<frmMain> form;
  bool shown = false;

  explicit MainWindowOn(const std::vector<WordRow>& rows = TestRows(), std::wstring command = L"") {
    WriteTestDictionary(folder.path(), rows);
    form = std::make_unique<frmMain>(frmMain::Startup{std::move(command), {folder.path()}});
    shown = form->Show();
  }
  ~MainWindowOn() {
    form.reset();  // closes the dictionary before its folder goes
    PumpFor(10);
    TakeQuitMessage();
  }

  void Type(wchar_t ch) { SendMessageW(form->txtWord.hWnd(), WM_CHAR, ch, 1); }
  void Type(const std::wstring& text) {
    for (wchar_t ch : text) Type(ch);
  }
  std::vector<std::wstring> List() const {
    std::vector<std::wstring> items;
    for (int i = 0; i < form->lstWords.ListCount(); ++i) items.push_back(form->ListText(i));
    return items;
  }
  // Clicks list entry i with the mouse, as the user would.
  void ClickEntry(int i) {
    RECT r{};
    SendMessageW(form->lstWords.hWnd(), LB_GETITEMRECT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2);
    SendMessageW(form->lstWords.hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(form->lstWords.hWnd(), WM_LBUTTONUP, 0, at);
    PumpFor(10);
  }
};

inline std::wstring NotFoundW() {
  return L"\u06A9\u0644\u0645\u0647 \u0645\u0648\u0631\u062F \u0646\u0638\u0631 "
         L"\u064A\u0627\u0641\u062A \u0646\u0634\u062F.";
}

}  // namespace kelvara::testing
