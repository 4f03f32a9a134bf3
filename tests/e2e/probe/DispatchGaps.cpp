// kelvara-e2e-gaps.dll: measures, inside a program's window thread, how long that thread keeps a
// waiting message unhandled (the gap a user feels as a window that does not answer), without
// the other processes, the server round trips and the machine's scheduling of a second process
// that a ping from outside measures as well.
//
// The probe hooks it onto the thread (WH_GETMESSAGE), so it runs each time the thread takes a
// message off its queue. After each message it posts a marker of its own to the thread: while
// the marker waits, the thread has a message waiting, so the time to its next take is time spent
// handling what it took (and any sent messages meanwhile), never idle time.
#include <windows.h>

#include "DispatchGaps.h"

namespace {

gaps::Shared* shared = nullptr;
gaps::Figures figures;
LARGE_INTEGER frequency{}, last{};
bool haveLast = false;
bool markerWaiting = false;
// Markers carry the measurement they belong to: one posted before the last measurement ended
// may be taken while no hook runs, and must not stand for the current one's.
WPARAM generation = 0;
UINT lastMessage = 0;

void Attach() {
  // The platform may load a hook's DLL for a call and free it afterwards; the figures must live
  // from one message to the next.
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&Attach), &self);
  QueryPerformanceFrequency(&frequency);
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE,
                                    gaps::MappingName(GetCurrentThreadId()).c_str());
  if (!mapping) return;
  // The handle stays open: it keeps the mapping's name alive for the probe's next measurement
  // (under Wine a view alone does not).
  shared = static_cast<gaps::Shared*>(
      MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(gaps::Shared)));
}

void Took(const MSG& m) {
  if (!shared) Attach();
  if (!shared) return;
  const bool marker = m.hwnd == nullptr && m.message == WM_NULL && m.lParam == gaps::kMarker;
  if (marker && m.wParam != generation) return;  // an earlier measurement's
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  if (haveLast && markerWaiting) {
    const int64_t us = (now.QuadPart - last.QuadPart) * 1000000 / frequency.QuadPart;
    ++figures.gaps;
    figures.busyUs += us;
    if (us > figures.longestUs) {
      figures.longestUs = us;
      figures.longestAfter = lastMessage;
    }
    if (us >= gaps::kLongGapUs) ++figures.longGaps;
  }
  ++figures.retrievals;
  last = now;
  haveLast = true;
  if (marker) {
    markerWaiting = false;
  } else {
    lastMessage = m.message;
    if (!markerWaiting) {
      markerWaiting =
          PostThreadMessageW(GetCurrentThreadId(), WM_NULL, generation, gaps::kMarker) != FALSE;
    }
  }
  switch (InterlockedCompareExchange(&shared->request, gaps::kNone, gaps::kNone)) {
    case gaps::kReset:
      figures = gaps::Figures{};
      ++generation;
      markerWaiting = false;
      InterlockedExchange(&shared->request, gaps::kNone);
      break;
    case gaps::kReport:
      shared->report = figures;
      InterlockedExchange(&shared->request, gaps::kNone);
      break;
    default:
      break;
  }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK GapsHook(int code, WPARAM wParam,
                                                          LPARAM lParam) {
  if (code == HC_ACTION && (wParam & PM_REMOVE)) Took(*reinterpret_cast<const MSG*>(lParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
