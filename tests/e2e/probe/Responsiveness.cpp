// The probe's "dispatch-gaps MS": kelvara-e2e-gaps.dll hooked onto the main window's thread for
// MS milliseconds, and what it measured there (see DispatchGaps.cpp).
#include "Responsiveness.h"

#include <windows.h>

#include <string>

#include "DispatchGaps.h"
#include "Json.h"

namespace {

constexpr DWORD kAnswerMs = 5000;

std::wstring BesideProbe(const wchar_t* name) {
  wchar_t path[MAX_PATH]{};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return folder + name;
}

// The request is answered at the thread's next message; a nudge makes sure one comes.
bool Ask(gaps::Shared& shared, DWORD threadId, gaps::Request request) {
  InterlockedExchange(&shared.request, request);
  PostThreadMessageW(threadId, WM_NULL, 0, 0);
  const ULONGLONG end = GetTickCount64() + kAnswerMs;
  while (InterlockedCompareExchange(&shared.request, gaps::kNone, gaps::kNone) != gaps::kNone) {
    if (GetTickCount64() > end) return false;
    Sleep(2);
  }
  return true;
}

}  // namespace

std::string DispatchGaps(HWND main, long ms, bool& measured) {
  JsonWriter json;
  json.BeginObject();
  const DWORD threadId = main ? GetWindowThreadProcessId(main, nullptr) : 0;
  HANDLE mapping = threadId ? CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                 sizeof(gaps::Shared),
                                                 gaps::MappingName(threadId).c_str())
                            : nullptr;
  auto* shared = mapping ? static_cast<gaps::Shared*>(MapViewOfFile(
                               mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(gaps::Shared)))
                         : nullptr;
  HMODULE dll = LoadLibraryW(BesideProbe(L"kelvara-e2e-gaps.dll").c_str());
  const auto hook = dll ? reinterpret_cast<HOOKPROC>(
                              reinterpret_cast<void (*)()>(GetProcAddress(dll, "GapsHook")))
                        : nullptr;
  HHOOK hooked = shared && hook ? SetWindowsHookExW(WH_GETMESSAGE, hook, dll, threadId) : nullptr;
  const DWORD error = hooked ? 0 : GetLastError();
  measured = false;
  if (hooked && Ask(*shared, threadId, gaps::kReset)) {
    Sleep(static_cast<DWORD>(ms));
    measured = Ask(*shared, threadId, gaps::kReport);
  }
  if (hooked) UnhookWindowsHookEx(hooked);
  // The thread that did not answer is itself the finding: it took no message for seconds.
  json.Field("found", main != nullptr).Field("hooked", hooked != nullptr).Field("ok", measured);
  if (!hooked) {
    json.Field("dll_loaded", dll != nullptr)
        .Field("error", static_cast<int64_t>(error));
  }
  if (measured) {
    const gaps::Figures f = shared->report;
    json.Field("retrievals", f.retrievals)
        .Field("gaps", f.gaps)
        .Field("busy_us", f.busyUs)
        .Field("longest_us", f.longestUs)
        .Field("longest_after", static_cast<int64_t>(f.longestAfter))
        .Field("long_gaps", f.longGaps)
        .Field("long_gap_us", gaps::kLongGapUs);
  }
  json.EndObject();
  if (shared) UnmapViewOfFile(shared);
  if (mapping) CloseHandle(mapping);
  return json.str();
}
