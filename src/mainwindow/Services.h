// What the main window's services share with the rest of the program: the hotkey's identity,
// the message through which a second start reaches the running copy, and the debugger log.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "shared/Constants.h"

namespace kelvara {

// Shift+F9, under the identifier at the top of the range the platform leaves to applications.
inline constexpr int kHotKeyId = 0xBFFF;
inline constexpr UINT kHotKeyModifiers = MOD_SHIFT;
inline constexpr UINT kHotKeyKey = VK_F9;

// Sent by a second start (kSecondStartMessageName) to the running copy's main window among the
// forms (kFormClassName). Only the main window answers, with kSecondStartReply: a form of
// another kind, or a window that merely shares the class name, answers something else and is
// passed over.
inline constexpr WPARAM kSecondStartAsk = 0x4B56'0001;
inline constexpr LRESULT kSecondStartReply = 0x4B56'4F4B;
UINT SecondStartMessage();

// "Kelvara Dictionary: <what> failed (<error>): <the system's readable text>".
std::wstring FailureLine(std::wstring_view what, DWORD error);
// Writes that line to the debugger's output and the application event log: failures the user
// is not told about still leave a trace there.
void LogFailure(std::wstring_view what, DWORD error);

}  // namespace kelvara
