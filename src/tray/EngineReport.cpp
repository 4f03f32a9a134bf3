#include "EngineReport.h"

#include <windows.h>

#include <utility>

#include "shared/Constants.h"

namespace kelvara {

namespace {

EngineReportSink& Sink() {
  static EngineReportSink sink;
  return sink;
}

void WriteEventLog(const std::wstring& line) {
  HANDLE source = RegisterEventSourceW(nullptr, kelvara::kProductName);
  if (source == nullptr) return;  // no log to write to: the box still tells the user
  const wchar_t* strings[] = {line.c_str()};
  ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(source);
}

}  // namespace

EngineReportSink SetEngineReportSink(EngineReportSink sink) {
  return std::exchange(Sink(), std::move(sink));
}

cEngineReport MakeEngineReport(const std::wstring& className, const std::wstring& routine,
                               const std::wstring& text) {
  const std::wstring where = className + L"." + routine;
  return {where + L": " + text, L"Error in " + where, text + L"."};
}

void ReportEngineError(const cEngineReport& report) {
  WriteEventLog(report.logLine);
  if (Sink()) {
    // A copy: the sink may replace itself while it runs.
    const EngineReportSink sink = Sink();
    sink(report);
    return;
  }
  MessageBoxW(nullptr, report.prompt.c_str(), report.title.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace kelvara
