// Message boxes. Tests route them to a hook so that nothing blocks.
#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

namespace kelvara::toolkit {

using MsgBoxHook =
    std::function<int(HWND owner, std::wstring_view text, std::wstring_view title, UINT style)>;

// Shows a message box (or hands it to the hook) and returns the button pressed.
int MsgBox(HWND owner, std::wstring_view text, std::wstring_view title, UINT style);
// A Persian box: right-to-left reading and right-aligned text.
int MsgBoxRtl(HWND owner, std::wstring_view text, std::wstring_view title, UINT style);

// Installs a hook (an empty one restores the real box) and returns the previous one.
MsgBoxHook SetMsgBoxHook(MsgBoxHook hook);

}  // namespace kelvara::toolkit
