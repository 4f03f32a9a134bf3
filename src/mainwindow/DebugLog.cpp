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
  const std::wstring line = FailureLine(what, error);
  OutputDebugStringW((line + L"\n").c_str());
  // The application event log, where an administrator looks for a program's troubles.
  if (HANDLE source = RegisterEventSourceW(nullptr, L"Kelvara Dictionary")) {
    const wchar_t* strings[] = {line.c_str()};
    ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
  }
}

}  // namespace kelvara
