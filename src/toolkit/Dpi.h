// The DPI of windows and what depends on it, through the calls of Windows 10 (1607 and later),
// looked up at run time so that the program still starts where they are missing (it then
// behaves as a system-aware program).
#pragma once

#include <windows.h>

#include "DpiScale.h"

namespace kelvara::toolkit {

// The DPI the window is drawn at: its monitor's for a per-monitor aware program.
int DpiOfWindow(HWND hwnd);

// A system metric (icon sizes, frame widths) at a given DPI.
int SystemMetricForDpi(int index, int dpi);

// AdjustWindowRectEx for a window drawn at `dpi`.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

}  // namespace kelvara::toolkit
