// Helpers shared by the Windows tests of the toolkit, the designs and the main window.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/Form.h"
#include "toolkit/MessageBox.h"

namespace kelvara::testing {

// Handles messages until the condition holds or the time is up; returns the condition.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 2000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    toolkit::Application::DoEvents();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

inline void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

// Takes a pending quit message out of the queue; true when there was one.
inline bool TakeQuitMessage(int* exitCode = nullptr) {
  MSG msg;
  bool found = false;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    found = true;
    if (exitCode) *exitCode = static_cast<int>(msg.wParam);
  }
  return found;
}

// Records message boxes instead of showing them, for as long as it lives.
class MsgBoxRecorder {
 public:
  struct Box {
    std::wstring text, title;
    UINT style;
  };
  explicit MsgBoxRecorder(int answer = IDOK) {
    previous_ = toolkit::SetMsgBoxHook(
        [this, answer](HWND, std::wstring_view text, std::wstring_view title, UINT style) {
          boxes.push_back({std::wstring(text), std::wstring(title), style});
          return answer;
        });
  }
  ~MsgBoxRecorder() { toolkit::SetMsgBoxHook(previous_); }
  MsgBoxRecorder(const MsgBoxRecorder&) = delete;
  MsgBoxRecorder& operator=(const MsgBoxRecorder&) = delete;

  std::vector<Box> boxes;

 private:
  toolkit::MsgBoxHook previous_;
};

// A form whose window and controls a test makes itself.
class TestForm : public toolkit::Form {
 public:
  std::function<bool(TestForm&, HWND owner)> build;
  std::function<bool()> onLoad;
  std::function<void(bool&)> onUnload;
  std::function<void()> onResize;
  std::function<void(int&, int)> onKeyDown;
  ~TestForm() override { DestroyQuietly(); }

  static toolkit::FormArgs Args(bool keyPreview = false) {
    toolkit::FormArgs a;
    a.caption = L"kelvara test form";
    a.clientWidth = 300;
    a.clientHeight = 200;
    a.keyPreview = keyPreview;
    a.font = {L"Tahoma", 8.25f, FW_NORMAL, DEFAULT_CHARSET};
    return a;
  }

 protected:
  bool Build(HWND owner) override {
    return build ? build(*this, owner) : CreateFormWindow(Args(), owner);
  }
  bool Form_Load() override { return onLoad ? onLoad() : true; }
  void Form_Unload(bool& cancel) override {
    if (onUnload) onUnload(cancel);
  }
  void Form_Resize() override {
    if (onResize) onResize();
  }
  void Form_KeyDown(int& keyCode, int shift) override {
    if (onKeyDown) onKeyDown(keyCode, shift);
  }
};

// Sends a key as the keyboard would: key down (through the program's own key handling and
// translation into characters), then key up.
inline void PressKey(HWND target, UINT vk) {
  const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  PostMessageW(target, WM_KEYDOWN, vk, 1 | (static_cast<LPARAM>(scan) << 16));
  PostMessageW(target, WM_KEYUP, vk, 1 | (static_cast<LPARAM>(scan) << 16) | (3LL << 30));
  toolkit::Application::DoEvents();
  toolkit::Application::DoEvents();
}

}  // namespace kelvara::testing
