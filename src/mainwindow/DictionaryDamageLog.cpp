#include "DictionaryDamageLog.h"

#include <windows.h>

#include "shared/Constants.h"
#include "toolkit/Utf.h"

namespace kelvara {

void LogDictionaryDamage(const std::string& message) {
  HANDLE source = RegisterEventSourceW(nullptr, kProductName);
  if (source == nullptr) return;  // no log to write to: the meaning box still tells the user
  const std::wstring line = toolkit::Utf8ToWide(message);
  const wchar_t* strings[] = {line.c_str()};
  ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(source);
}

}  // namespace kelvara
