#include "mMain.h"

#include <string>

#include "toolkit/Application.h"

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
  auto load = [&](int cx, int cy) {
    return reinterpret_cast<LPARAM>(LoadImageW(instance, name.c_str(), IMAGE_ICON,
                                               GetSystemMetrics(cx), GetSystemMetrics(cy),
                                               LR_SHARED));
  };

  const LPARAM big = load(SM_CXICON, SM_CYICON);
  if (ToTopOwner) SendMessageW(topOwner, WM_SETICON, ICON_BIG, big);
  SendMessageW(WindowHandle, WM_SETICON, ICON_BIG, big);

  const LPARAM smallIcon = load(SM_CXSMICON, SM_CYSMICON);
  if (ToTopOwner) SendMessageW(topOwner, WM_SETICON, ICON_SMALL, smallIcon);
  SendMessageW(WindowHandle, WM_SETICON, ICON_SMALL, smallIcon);
}

}  // namespace kelvara
