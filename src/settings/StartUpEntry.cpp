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

std::wstring Stored(const RegLocation& at) { return GetRegValue(at.Root, at.SubKey, at.ValueName); }

RegResult Write(const RegLocation& at, const std::wstring& text) {
  return SetRegString(at.Root, at.SubKey, at.ValueName, text);
}

RegResult Delete(const RegLocation& at) { return DeleteRegValue(at.Root, at.SubKey, at.ValueName); }

}  // namespace

StartUpKeys StartUpEntryLocation() {
  return {{HKEY_LOCAL_MACHINE, RunKeyPath, RunValueName},
          {HKEY_CURRENT_USER, RunKeyPath, RunValueName}};
}

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

bool ReadStartUpChecked(std::wstring_view AppExePath, const StartUpKeys& Where) {
  if (StartUpEntryMatches(Stored(Where.MachineWide), AppExePath)) return true;
  return Where.PerUser && StartUpEntryMatches(Stored(*Where.PerUser), AppExePath);
}

RegResult SaveStartUp(bool Checked, std::wstring_view AppExePath, const StartUpKeys& Where) {
  if (!Checked) {
    const RegResult user = Where.PerUser ? Delete(*Where.PerUser) : RegResult{};
    const RegResult machine = Delete(Where.MachineWide);
    return machine ? user : machine;
  }

  const std::wstring command = RunEntryText(AppExePath);
  const RegResult machine = Write(Where.MachineWide, command);
  // Refused, but Windows will start this very program anyway: nothing is lost.
  if (machine || Stored(Where.MachineWide) == command) {
    // One entry only: with both, every logon would start a second copy, which would bring the
    // first one's window out of the tray. Left behind, it still starts the right program.
    if (Where.PerUser) Delete(*Where.PerUser);
    return {};
  }
  if (!Where.PerUser) return machine;
  // The machine refuses a user without elevation: the user's own list starts the program just
  // the same, for this user.
  const RegResult user = Write(*Where.PerUser, command);
  if (user || Stored(*Where.PerUser) == command) return {};
  return user;
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
