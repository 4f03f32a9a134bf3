// Helpers shared by the tray tests: a sink for the engine's reports and a message pump.
#pragma once

#include "EngineReport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace kelvara;

// Collects the engine's reports instead of showing message boxes.
class ReportLog {
 public:
  ReportLog()
      : previous_(SetEngineReportSink([this](const cEngineReport& r) { reports.push_back(r); })) {}
  ~ReportLog() { SetEngineReportSink(std::move(previous_)); }
  ReportLog(const ReportLog&) = delete;
  ReportLog& operator=(const ReportLog&) = delete;

  std::vector<std::wstring> Prompts() const {
    std::vector<std::wstring> prompts;
    for (const auto& r : reports) prompts.push_back(r.prompt);
    return prompts;
  }
  std::vector<std::pair<std::wstring, std::wstring>> TitlesAndPrompts() const {
    std::vector<std::pair<std::wstring, std::wstring>> all;
    for (const auto& r : reports) all.emplace_back(r.title, r.prompt);
    return all;
  }

  std::vector<cEngineReport> reports;

 private:
  EngineReportSink previous_;
};

// An engine report outside a ReportLog is a failure of the test, never a box that waits.
inline EngineReportSink FailOnReport() {
  return [](const cEngineReport& r) {
    std::string line(r.logLine.begin(), r.logLine.end());  // the texts are ASCII
    ADD_FAILURE() << "unexpected engine report: " << line;
  };
}

// Runs this thread's messages until done() holds or timeoutMs has passed; returns done().
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs = 3000) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done() && GetTickCount64() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return done();
}
