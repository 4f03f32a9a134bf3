#include "Services.h"

#include <string>

namespace kelvara {

std::wstring FailureLine(std::wstring_view what, DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring line = kProductName;
  line += L": ";
  line += what;
  line += L" failed (" + std::to_wstring(error) + L")";
  if (length && text) {
    std::wstring_view reason(text, length);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                               reason.back() == L' ' || reason.back() == L'.'))
      reason.remove_suffix(1);
    line += L": ";
    line += reason;
  }
  if (text) LocalFree(text);
  return line;
}

void LogFailure(std::wstring_view what, DWORD error) {
  OutputDebugStringW((FailureLine(what, error) + L"\n").c_str());
}

}  // namespace kelvara
