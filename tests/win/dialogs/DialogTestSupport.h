// Driving the real dialogs in-process: a main window on a small dictionary of its own, message
// boxes and shell calls recorded instead of shown, and scripted steps that run inside a modal
// dialog's message loop (from a thread timer), so that nothing ever waits for a person.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ShellExecuteSeam.h"
#include "frmMain.h"
#include "lookup/DictionaryWriter.h"
#include "toolkit/Application.h"
#include "toolkit/Form.h"
#include "toolkit/MessageBox.h"

namespace dialogtest {

struct ShownBox {
  HWND Owner;
  std::wstring Text, Title;
  UINT Style;
};

struct ShellCall {
  HWND Owner;
  bool HasOperation;  // a non-null operation was given
  std::wstring Operation, File;
  bool HasParameters, HasDirectory;
  std::wstring Parameters, Directory;
  int Show;
};

inline std::wstring OrEmpty(const wchar_t* text) { return text ? text : L""; }

inline bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Sends a key to a window as the keyboard would: down and up, through the message loop (and
// so through the forms' key handling: default, cancel and focused buttons).
inline void PostKey(HWND target, WPARAM vk) {
  PostMessageW(target, WM_KEYDOWN, vk, 1);
  PostMessageW(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
}

// Presses a button (or toggles a check box) as a mouse click does.
inline void ClickControl(HWND control) { SendMessageW(control, BM_CLICK, 0, 0); }

// The title-bar close box.
inline void PressCloseBox(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

// This process's loaded form with the caption, or null.
template <class T>
T* OpenForm(const wchar_t* caption) {
  HWND hwnd = FindWindowW(L"KelvaraForm", caption);
  return dynamic_cast<T*>(kelvara::toolkit::Form::FromHwnd(hwnd));
}

// Runs `open` (which shows a dialog modally and returns once it is closed) while `steps` run
// one per timer tick inside the dialog's message loop. A dialog still open two seconds after
// the last step fails the test and is closed, so a fault never hangs the run.
class ModalScript {
 public:
  using Step = std::function<void()>;

  static void Run(const std::function<void()>& open, std::vector<Step> steps,
                  const wchar_t* dialogCaption) {
    ModalScript script(std::move(steps), dialogCaption);
    Current() = &script;
    const UINT_PTR timer = SetTimer(nullptr, 0, 40, &ModalScript::Tick);
    ASSERT_NE(timer, 0u);
    open();
    KillTimer(nullptr, timer);
    Current() = nullptr;
    EXPECT_EQ(script.next_, script.steps_.size()) << "the dialog closed before every step ran";
  }

 private:
  ModalScript(std::vector<Step> steps, const wchar_t* caption)
      : steps_(std::move(steps)), caption_(caption) {}

  static ModalScript*& Current() {
    static ModalScript* current = nullptr;
    return current;
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalScript* s = Current();
    if (!s || s->running_) return;
    s->running_ = true;
    if (s->next_ < s->steps_.size()) {
      s->steps_[s->next_++]();
    } else if (++s->idleTicks_ == 50) {
      ADD_FAILURE() << "the dialog is still open after the last step";
      if (HWND left = FindWindowW(L"KelvaraForm", s->caption_)) DestroyWindow(left);
    }
    s->running_ = false;
  }

  std::vector<Step> steps_;
  const wchar_t* caption_;
  size_t next_ = 0;
  int idleTicks_ = 0;
  bool running_ = false;
};

// A shown main window on a dictionary of its own, with message boxes and shell calls recorded.
// Fixtures start it in SetUp and stop it in TearDown.
class MainWindowHarness {
 protected:
  void StartMainWindow() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("kelvara-dialogs-" + std::string(info->test_suite_name()) + "-" + info->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    const std::vector<kelvara::WordRow> rows = {
        {"cat", "\xDA\xAF\xD8\xB1\xD8\xA8\xD9\x87"},  // گربه
        {"category", "\xD8\xAF\xD8\xB3\xD8\xAA\xD9\x87"},
        {"dog", "\xD8\xB3\xDA\xAF"},
    };
    kelvara::WriteOptions fast;
    fast.kdfIterations = 1000;
    ASSERT_EQ(kelvara::WriteDictionaryFile(folder_ / "Data.db", rows, fast), "");

    previousBox_ = kelvara::toolkit::SetMsgBoxHook(
        [this](HWND owner, std::wstring_view text, std::wstring_view title, UINT style) {
          boxes.push_back({owner, std::wstring(text), std::wstring(title), style});
          return IDOK;
        });
    previousShell_ = kelvara::settings::SetShellExecuteHook(
        [this](HWND owner, const wchar_t* operation, const wchar_t* file,
               const wchar_t* parameters, const wchar_t* directory, int show) {
          shellCalls.push_back({owner, operation != nullptr, OrEmpty(operation), OrEmpty(file),
                                parameters != nullptr, directory != nullptr,
                                OrEmpty(parameters), OrEmpty(directory), show});
          return reinterpret_cast<HINSTANCE>(shellResult);
        });

    main = std::make_unique<kelvara::frmMain>(kelvara::frmMain::Startup{L"", {folder_}});
    ASSERT_TRUE(main->Show()) << "the main window did not load";
    SetForegroundWindow(main->hWnd());
    kelvara::toolkit::Application::DoEvents();
  }

  void StopMainWindow() {
    main.reset();
    kelvara::toolkit::Application::DoEvents();
    kelvara::toolkit::SetMsgBoxHook(std::move(previousBox_));
    kelvara::settings::SetShellExecuteHook(std::move(previousShell_));
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::unique_ptr<kelvara::frmMain> main;
  std::vector<ShownBox> boxes;
  std::vector<ShellCall> shellCalls;
  INT_PTR shellResult = 42;  // above 32: the shell's success

 private:
  std::filesystem::path folder_;
  kelvara::toolkit::MsgBoxHook previousBox_;
  kelvara::settings::ShellExecuteFn previousShell_;
};

class MainWindowTest : public ::testing::Test, protected MainWindowHarness {
 protected:
  void SetUp() override { StartMainWindow(); }
  void TearDown() override { StopMainWindow(); }
};

}  // namespace dialogtest
