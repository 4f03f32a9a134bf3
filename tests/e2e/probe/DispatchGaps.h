// What kelvara-e2e-gaps.dll, hooked into a program's window thread, shares with the probe: how
// long that thread kept a waiting message unhandled. The layout is shared by the DLL (inside the
// program) and the probe (outside), through a named file mapping per thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace gaps {

// The hook's own message: a thread message the program never sees as anything but WM_NULL.
constexpr LPARAM kMarker = 0x4B475053;  // "KGPS"
// Gaps at least this long are counted apart: above what a timer tick's handling takes even on
// a loaded machine (up to about 42 ms seen), below the 100 ms the window may keep anything
// waiting.
constexpr int64_t kLongGapUs = 45000;

struct Figures {
  int64_t retrievals = 0;    // messages taken off the queue
  int64_t gaps = 0;          // times between two of them while a message was waiting
  int64_t busyUs = 0;        // the gaps summed
  int64_t longestUs = 0;     // the longest gap
  uint32_t longestAfter = 0; // the message whose handling began the longest gap
  int64_t longGaps = 0;      // gaps of kLongGapUs or more
};

// The probe asks, the hooked thread answers at its next message: a thread that never takes a
// message never answers, which the probe reports as such.
enum Request : LONG { kNone = 0, kReset = 1, kReport = 2 };

struct Shared {
  volatile LONG request;
  Figures report;  // filled in answer to kReport
};

inline std::wstring MappingName(DWORD threadId) {
  return L"Local\\kelvara-e2e-gaps-" + std::to_wstring(threadId);
}

}  // namespace gaps
