// How long a window's thread keeps a waiting message unhandled, measured inside its process.
#pragma once

#include <windows.h>

#include <string>

// Hooks kelvara-e2e-gaps.dll (beside the probe) onto the thread of `main` for `ms` milliseconds
// and returns its figures as JSON; `measured` is false when the thread never answered or could
// not be hooked.
std::string DispatchGaps(HWND main, long ms, bool& measured);
