// How the subclassing engine reports its programming errors: one error line in the application
// event log (source "Kelvara Dictionary"), then a modal message box. Tests route the box to a
// sink of their own so that nothing waits for a click.
#pragma once

#include <functional>
#include <string>

namespace kelvara {

struct cEngineReport {
  std::wstring logLine;  // "<class>.<routine>: <text>"
  std::wstring title;    // "Error in <class>.<routine>"
  std::wstring prompt;   // "<text>." (the full stop is always added)
};

using EngineReportSink = std::function<void(const cEngineReport&)>;

// Replaces the message box by sink (an empty sink brings the box back); returns the sink that
// was in place. The event-log line is written either way.
EngineReportSink SetEngineReportSink(EngineReportSink sink);

cEngineReport MakeEngineReport(const std::wstring& className, const std::wstring& routine,
                               const std::wstring& text);
void ReportEngineError(const cEngineReport& report);

}  // namespace kelvara
