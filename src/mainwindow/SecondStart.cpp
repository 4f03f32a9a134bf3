#include "SecondStart.h"

#include "Services.h"

#include <windows.h>

#include "toolkit/WindowRules.h"

namespace kelvara {

namespace {
// The whole hand-over, waiting for a copy that is still loading or busy included, takes at
// most this long.
constexpr ULONGLONG kPatienceMs = 2000;
constexpr DWORD kAttemptPauseMs = 100;

bool AskEachForm(UINT message, ULONGLONG deadline) {
  for (HWND w = FindWindowExW(nullptr, nullptr, kFormClassName, nullptr); w;
       w = FindWindowExW(nullptr, w, kFormClassName, nullptr)) {
    const ULONGLONG now = GetTickCount64();
    const UINT timeout = now < deadline ? static_cast<UINT>(deadline - now) : 1;
    // The user started this copy, so it may bring a window to the front; the running copy
    // that will show its window may not, unless given the right before it is asked.
    DWORD processId = 0;
    if (GetWindowThreadProcessId(w, &processId) != 0) toolkit::AllowToFront(processId);
    DWORD_PTR reply = 0;
    if (SendMessageTimeoutW(w, message, kSecondStartAsk, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                            timeout, &reply) &&
        static_cast<LRESULT>(reply) == kSecondStartReply) {
      return true;
    }
  }
  return false;
}

// A copy that is busy or hung cannot answer in time; the ask waits in its queue and is carried
// out once it takes its messages again.
void LeaveAskWithEachForm(UINT message) {
  for (HWND w = FindWindowExW(nullptr, nullptr, kFormClassName, nullptr); w;
       w = FindWindowExW(nullptr, w, kFormClassName, nullptr)) {
    PostMessageW(w, message, kSecondStartAsk, 0);
  }
}
}  // namespace

UINT SecondStartMessage() {
  static const UINT message = RegisterWindowMessageW(kSecondStartMessageName);
  return message;
}

bool SignalRunningCopy() {
  const UINT message = SecondStartMessage();
  if (message == 0) {
    LogFailure(L"RegisterWindowMessage for the second start", GetLastError());
    return false;
  }
  // The first copy holds the single-instance name from its first instruction but answers only
  // once its main window has loaded.
  const ULONGLONG deadline = GetTickCount64() + kPatienceMs;
  for (;;) {
    if (AskEachForm(message, deadline)) return true;
    if (GetTickCount64() + kAttemptPauseMs >= deadline) break;
    Sleep(kAttemptPauseMs);
  }
  LeaveAskWithEachForm(message);
  return false;
}

}  // namespace kelvara
