// The window-icon routine every window of the program calls while it loads.
#pragma once

#include <windows.h>

#include <string_view>

namespace kelvara {

// Gives the window, and with ToTopOwner the top of its chain of owners too, the big and small
// icon from the program's icon resource IconName. The icons are shared images: never freed.
void SetWindowIcons(HWND WindowHandle, std::wstring_view IconName, bool ToTopOwner);

}  // namespace kelvara
