// A real main window over a small dictionary of its own, with a way into the handlers that
// the timer, the tray icon and the keyboard would otherwise have to reach.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frmMain.h"
#include "Services.h"
#include "toolkit/Application.h"

namespace kelvara {

// The handlers as the timer, the tray object and the menus call them.
class ServicesTestAccess {
 public:
  explicit ServicesTestAccess(frmMain& form) : f_(form) {}
  void Tick() { f_.tmrClipboard_Timer(); }
  void CheckClipboard() { f_.CheckClipboard(); }
  void CheckHotKey() { f_.CheckHotKey(); }
  void HideToTray() { f_.HideToTray(); }
  bool RestoreRequested() const { return f_.restoreRequested_; }
  ClipboardReader& Reader() { return f_.clipboardReader_; }

 private:
  frmMain& f_;
};

// Runs this thread's messages (through the program's own keyboard handling) until done()
// holds or timeoutMs has passed; returns done().
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs = 3000);
// Runs this thread's messages for a while.
void PumpFor(DWORD ms);

// Tray objects alive in this thread, counted by their hidden windows.
int LiveTrayObjects();

// Keeps every record the main window's tray objects send, and passes it on to the real shell
// unless told to answer for it (`answer`, given the message and the record).
struct ShellRecorder {
  struct Call {
    DWORD message;
    NOTIFYICONDATAW data;
  };
  cSystrayShell Seam() {
    cSystrayShell shell;
    shell.notifyIcon = [this](DWORD m, const NOTIFYICONDATAW& d) -> BOOL {
      calls.push_back({m, d});
      if (answer) return answer(m, d);
      NOTIFYICONDATAW copy = d;
      return Shell_NotifyIconW(m, &copy);
    };
    return shell;
  }
  // The NIM_MODIFY calls that carry NIF_INFO, from call `from` on.
  std::vector<Call> InfoModifications(std::size_t from = 0) const {
    std::vector<Call> found;
    for (std::size_t i = from; i < calls.size(); ++i)
      if (calls[i].message == NIM_MODIFY && (calls[i].data.uFlags & NIF_INFO) != 0)
        found.push_back(calls[i]);
    return found;
  }
  std::vector<Call> calls;
  std::function<BOOL(DWORD, const NOTIFYICONDATAW&)> answer;
};

class ServicesTest : public ::testing::Test {
 protected:
  // A recorder made on a test's own stack must outlive the main window, whose end still sends
  // the shell its last calls: declared after the recorder, this ends the window first.
  struct EndWindowFirst {
    ServicesTest& test;
    ~EndWindowFirst() {
      test.access.reset();
      test.main.reset();
    }
  };

  void SetUp() override;
  void TearDown() override;

  // Loads and shows the main window as the program does, with `command` as its arguments.
  // The clipboard holds `clipboardAtStart` while it loads.
  void Start(const std::wstring& command = L"",
             const std::wstring& clipboardAtStart = L"before the start");
  // The clipboard watcher's timer stays out of the way: the test ticks by hand.
  void StopTimer();
  // Ticks by hand until the next clipboard read has been done.
  void TickUntilRead();
  // Puts the window into the tray the way Escape does.
  void ToTray();
  // Whether the main window is on the screen.
  bool Shown() const { return IsWindowVisible(main->hWnd()) != FALSE; }
  toolkit::WindowState State() const { return main->GetWindowState(); }
  std::wstring NotFound() const;

  static std::filesystem::path DictionaryFolder();
  // Given to the main window before it loads, when set.
  std::optional<cSystrayShell> trayShell;
  std::unique_ptr<frmMain> main;
  std::unique_ptr<ServicesTestAccess> access;
};

template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done() && GetTickCount64() < end) {
    // Each tick waits for the timer's next period, so the queue is never seen empty: the
    // clock, not an empty queue, ends the round.
    MSG msg;
    while (!done() && GetTickCount64() < end && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;  // a test that closes the program leaves one
      toolkit::Application::ProcessMessage(msg);
    }
    if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return done();
}

}  // namespace kelvara
