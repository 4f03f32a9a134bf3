// Waiting until the user interface has caught up: every message of this thread handled and
// every window painted, so that a timing ends when the user would see the result.
#pragma once

#include <windows.h>

namespace kelvara::bench {

// Handles every waiting message of this thread (paints included), then paints whatever is still
// invalid in `window` and its children, until nothing is left but timers. False when it gave up
// (something keeps posting messages).
bool PumpUntilIdle(HWND window);

}  // namespace kelvara::bench
