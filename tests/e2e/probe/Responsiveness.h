// How long a window's thread keeps a waiting message unhandled, measured inside its process.
#pragma once

#include <windows.h>

// Hooks kelvara-e2e-gaps.dll (beside the probe) onto the thread of `main` for `ms` milliseconds
// and prints its figures as JSON; 1 when the thread never answered or could not be hooked.
int DispatchGaps(HWND main, long ms);
