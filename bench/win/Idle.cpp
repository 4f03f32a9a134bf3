#include "Idle.h"

#include "toolkit/Application.h"

namespace kelvara::bench {

bool PumpUntilIdle(HWND window) {
  // Painting can post more work (a scroll bar shown, a caret moved): go round until the queue
  // stays empty. Timers are not the window catching up, so they do not count.
  constexpr UINT kPending = QS_ALLINPUT & ~static_cast<UINT>(QS_TIMER);
  for (int pass = 0; pass < 64; ++pass) {
    toolkit::Application::DoEvents();
    if (window) RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    if ((HIWORD(GetQueueStatus(kPending)) & kPending) == 0) return true;
  }
  return false;
}

}  // namespace kelvara::bench
