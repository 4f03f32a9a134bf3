#include "MessageBox.h"

#include <string>
#include <utility>

namespace kelvara::toolkit {

namespace {
MsgBoxHook& Hook() {
  static MsgBoxHook hook;
  return hook;
}
}  // namespace

int MsgBox(HWND owner, std::wstring_view text, std::wstring_view title, UINT style) {
  if (Hook()) return Hook()(owner, text, title, style);
  return MessageBoxW(owner, std::wstring(text).c_str(), std::wstring(title).c_str(), style);
}

int MsgBoxRtl(HWND owner, std::wstring_view text, std::wstring_view title, UINT style) {
  return MsgBox(owner, text, title, style | MB_RTLREADING | MB_RIGHT);
}

MsgBoxHook SetMsgBoxHook(MsgBoxHook hook) { return std::exchange(Hook(), std::move(hook)); }

}  // namespace kelvara::toolkit
