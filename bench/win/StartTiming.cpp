#include "StartTiming.h"

#include <windows.h>

#include "BenchStats.h"

namespace kelvara::bench {

namespace {

// The started process's visible top-level window with this title, if it has one yet.
HWND FindShownWindow(DWORD pid, const std::wstring& title) {
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, title.c_str())) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

}  // namespace

Launch StartAndClose(const std::wstring& exe, const std::wstring& folder, const std::wstring& title) {
  Launch result;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + exe + L"\"";
  const auto start = Clock::now();
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
    result.problem = "CreateProcess failed with error " + std::to_string(GetLastError());
    return result;
  }
  // Polled every millisecond; the wait doubles as the pause and notices an early exit.
  HWND window = nullptr;
  while (!(window = FindShownWindow(pi.dwProcessId, title))) {
    if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(pi.hProcess, &code);
      result.problem = "it ended with code " + std::to_string(code) + " before showing its window";
      break;
    }
    if (MillisSince(start) > 30000) {
      result.problem = "no window within 30 s";
      break;
    }
  }
  if (window) {
    result.visibleMs = MillisSince(start);
    const DWORD idle = WaitForInputIdle(pi.hProcess, 30000);
    result.idleMs = MillisSince(start);
    if (idle != 0) result.problem = "WaitForInputIdle returned " + std::to_string(idle);
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  // Whatever happened, the process is gone before the next one starts: a second copy would
  // hand over to this one and end.
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
    if (result.problem.empty()) result.problem = "it did not end within 10 s of WM_CLOSE";
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 10000);
  } else if (result.problem.empty()) {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    if (code != 0) result.problem = "it ended with code " + std::to_string(code);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  result.ok = result.problem.empty();
  return result;
}

}  // namespace kelvara::bench
