#include "StartUpEntry.h"

#include <string>

namespace kelvara {

namespace {

constexpr std::wstring_view kNotSaved = L"تنظيم اجراي برنامه با شروع ويندوز ذخيره نشد: ";
constexpr std::wstring_view kNeedsAdministrator =
    L"اين تنظيم براي همه کاربران اين رايانه است و تغيير آن دسترسي مدير سيستم (Administrator) "
    L"مي\u200cخواهد.";
constexpr std::wstring_view kUnknownError = L"خطاي ناشناخته";

// The system's own words for a Win32 error, in the user's language, without the line break
// FormatMessage ends them with; empty when the system has none.
std::wstring SystemErrorText(LONG error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length != 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  return text;
}

}  // namespace

RegLocation StartUpEntryLocation() { return {HKEY_LOCAL_MACHINE, RunKeyPath, RunValueName}; }

std::wstring RunEntryText(std::wstring_view AppExePath) {
  std::wstring text;
  text.reserve(AppExePath.size() + 5);
  text += L'"';
  text += AppExePath;
  text += L"\" -t";
  return text;
}

bool StartUpEntryMatches(std::wstring_view StoredText, std::wstring_view AppExePath) {
  return StoredText == RunEntryText(AppExePath);
}

bool ReadStartUpChecked(std::wstring_view AppExePath, const RegLocation& Where) {
  return StartUpEntryMatches(GetRegValue(Where.Root, Where.SubKey, Where.ValueName), AppExePath);
}

RegResult SaveStartUp(bool Checked, std::wstring_view AppExePath, const RegLocation& Where) {
  if (!Checked) return DeleteRegValue(Where.Root, Where.SubKey, Where.ValueName);

  const std::wstring command = RunEntryText(AppExePath);
  const RegResult written = SetRegString(Where.Root, Where.SubKey, Where.ValueName, command);
  if (written) return written;
  // Refused, but Windows will start this very program anyway: nothing is lost.
  if (GetRegValue(Where.Root, Where.SubKey, Where.ValueName) == command) return {};
  return written;
}

std::wstring StartUpNotSavedText(LONG Error) {
  std::wstring text(kNotSaved);
  if (Error == ERROR_ACCESS_DENIED) {
    text += kNeedsAdministrator;
    return text;
  }
  const std::wstring reason = SystemErrorText(Error);
  text += reason.empty() ? std::wstring(kUnknownError) : reason;
  text += L" (کد خطا ";
  text += std::to_wstring(Error);
  text += L')';
  return text;
}

}  // namespace kelvara
