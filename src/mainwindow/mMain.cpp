#include "mMain.h"

#include <string>

#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Form.h"

namespace kelvara {

void SetWindowIcons(HWND WindowHandle, std::wstring_view IconName, bool ToTopOwner) {
  HWND topOwner = WindowHandle;
  if (ToTopOwner) {
    for (HWND current = WindowHandle; current;) {
      HWND owner = GetWindow(current, GW_OWNER);
      if (!owner) break;
      current = owner;
      topOwner = owner;
    }
  }
  const std::wstring name(IconName);
  HINSTANCE instance = toolkit::Application::Instance();
  // Sizes for the window's own DPI, so that a scaled title bar and taskbar get a sharp image.
  const int dpi = toolkit::DpiOfWindow(WindowHandle);
  auto load = [&](int cx, int cy) {
    return reinterpret_cast<LPARAM>(LoadImageW(instance, name.c_str(), IMAGE_ICON,
                                               toolkit::SystemMetricForDpi(cx, dpi),
                                               toolkit::SystemMetricForDpi(cy, dpi), LR_SHARED));
  };

  const LPARAM big = load(SM_CXICON, SM_CYICON);
  if (ToTopOwner) SendMessageW(topOwner, WM_SETICON, ICON_BIG, big);
  SendMessageW(WindowHandle, WM_SETICON, ICON_BIG, big);

  const LPARAM smallIcon = load(SM_CXSMICON, SM_CYSMICON);
  if (ToTopOwner) SendMessageW(topOwner, WM_SETICON, ICON_SMALL, smallIcon);
  SendMessageW(WindowHandle, WM_SETICON, ICON_SMALL, smallIcon);

  // Chosen again when the window moves to a screen of another scale.
  if (auto* form = toolkit::Form::FromHwnd(WindowHandle); form && !form->onDpiChanged) {
    form->onDpiChanged = [WindowHandle, name](int) { SetWindowIcons(WindowHandle, name, false); };
  }
}

}  // namespace kelvara
