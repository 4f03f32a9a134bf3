// kelvara-e2e-pinger: how long a window keeps its user waiting. For the given time it asks the
// window for an empty message again and again (WM_NULL, answered by the window's own thread)
// and reports the longest wait for an answer as JSON, so a test can tell a busy window from a
// frozen one.
//   kelvara-e2e-pinger TITLE MILLISECONDS
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
  const wchar_t* title;
  HWND found = nullptr;
};

BOOL CALLBACK Match(HWND w, LPARAM lParam) {
  auto* s = reinterpret_cast<Search*>(lParam);
  wchar_t text[256] = {};
  // Top-level windows of other processes answer GetWindowTextW from the window manager.
  GetWindowTextW(w, text, 256);
  if (std::wcscmp(text, s->title) != 0) return TRUE;
  s->found = w;
  return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("Usage: kelvara-e2e-pinger TITLE MILLISECONDS\n", stderr);
    return 2;
  }
  Search search{argv[1]};
  const ULONGLONG duration = std::wcstoull(argv[2], nullptr, 10);
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  const ULONGLONG end = GetTickCount64() + duration;
  double longest = 0;
  long samples = 0, unanswered = 0;
  while (GetTickCount64() < end) {
    if (!search.found || !IsWindow(search.found)) {
      search.found = nullptr;
      EnumWindows(&Match, reinterpret_cast<LPARAM>(&search));
      if (!search.found) {
        Sleep(20);
        continue;
      }
    }
    DWORD_PTR ignored = 0;
    QueryPerformanceCounter(&start);
    // Long enough to measure any freeze the tests could produce; a window that never answers
    // counts as unanswered.
    const bool answered =
        SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored) != 0;
    QueryPerformanceCounter(&now);
    const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    if (ms > longest) longest = ms;
    ++samples;
    if (!answered) ++unanswered;
    Sleep(5);
  }
  std::printf("{\"found\":%s,\"samples\":%ld,\"unanswered\":%ld,\"longest_ms\":%.1f}\n",
              samples ? "true" : "false", samples, unanswered, longest);
  return samples ? 0 : 1;
}
