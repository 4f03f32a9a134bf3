// LimitedWindow: keeps chosen top-level windows from being sized below (and, optionally, above)
// given outer sizes, by putting LimitedWindowProc in front of each window's own procedure and
// answering WM_GETMINMAXINFO for it.
//
// One slot per registered window, slots packed from 0 in registration order. A limit of 0 (a
// negative limit is stored as 0) leaves the platform's own value for that direction. Everything
// runs on the thread that owns the windows; nothing is locked.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kelvara {

// Registers hWnd with its limits in pixels of the whole window, frame and title bar included.
// Does nothing for handle 0, for a window already registered (its first limits stay), and when
// the window procedure cannot be replaced (another process's or a destroyed window): such a
// window stays unregistered.
void LimitWindowSize(HWND hWnd, int16_t MinWidth, int16_t MinHeight, int16_t MaxWidth,
                     int16_t MaxHeight);

// Unregisters hWnd and gives it back the procedure it had before. Handle 0 and windows that are
// not registered are ignored. A window destroyed while registered releases itself.
void ReleaseWindowLimit(HWND hWnd);

// True when hWnd stands in a slot; false for handle 0.
bool IsWindowLimited(HWND hWnd);

// The slot of hWnd, or -1 when it is absent or 0.
int16_t WindowLimitIndex(HWND hWnd);

// The number of registered windows, which is also the next free slot.
int16_t WindowLimitCount();

// The procedure installed on every registered window.
LRESULT CALLBACK LimitedWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

}  // namespace kelvara
