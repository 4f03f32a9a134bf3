#include "SecondStart.h"

#include "Services.h"

#include <windows.h>

namespace kelvara {

namespace {
constexpr int kAttempts = 20;
constexpr DWORD kAttemptPauseMs = 100;
// A running copy busy with a pronunciation answers late; one that hangs is not waited for.
constexpr UINT kReplyTimeoutMs = 2000;

bool AskEachForm(UINT message) {
  for (HWND w = FindWindowExW(nullptr, nullptr, kFormClassName, nullptr); w;
       w = FindWindowExW(nullptr, w, kFormClassName, nullptr)) {
    DWORD_PTR reply = 0;
    if (SendMessageTimeoutW(w, message, kSecondStartAsk, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                            kReplyTimeoutMs, &reply) &&
        static_cast<LRESULT>(reply) == kSecondStartReply) {
      return true;
    }
  }
  return false;
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
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (AskEachForm(message)) return true;
    Sleep(kAttemptPauseMs);
  }
  return false;
}

}  // namespace kelvara
