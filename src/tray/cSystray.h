// cSystray: one icon in the notification area, with its tooltip and balloons, reporting the
// mouse on the icon and the life of each balloon as events to its holder.
//
// Each instance owns a hidden top-level window that the shell addresses (top-level, so that the
// "TaskbarCreated" broadcast reaches it and the icon comes back after a shell restart), the
// subclass of that window through which it hears the shell, the balloon timer's entry point and
// the icons it loads from files. Releasing the last reference removes the icon.
//
// Instances live in std::shared_ptr only (Create). While an event runs, the instance holds a
// reference to itself, so a holder may drop its reference from inside the event (the main
// window does, on a double-click): the instance ends right after the event has returned.
#pragma once

#include "SubclassEngine.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace kelvara {

// The events of a cSystray, in their order of declaration. Button: 1 left, 2 right, 4 middle.
struct cSystrayEvents {
  virtual void MouseMove() {}
  virtual void MouseDown(std::int16_t& Button) { (void)Button; }
  // Only the right button's release is reported.
  virtual void MouseUp(std::int16_t& Button) { (void)Button; }
  virtual void MouseDblClick(std::int16_t& Button) { (void)Button; }
  virtual void BalloonClose() {}
  virtual void BalloonClick() {}
  virtual void BalloonShow() {}
  virtual void BalloonHide() {}

 protected:
  ~cSystrayEvents() = default;
};

// How an instance reaches the shell. Each part left empty means the real thing; tests put in
// their own to watch the records sent and to play an older shell.
struct cSystrayShell {
  std::function<BOOL(DWORD dwMessage, const NOTIFYICONDATAW& data)> notifyIcon;
  // The major version of shell32.dll; empty when it cannot be read.
  std::function<std::optional<int>()> majorVersion;
  // ChangeWindowMessageFilterEx(hWnd, message, action, nullptr).
  std::function<BOOL(HWND hWnd, UINT message, DWORD action)> changeMessageFilter;
};

class cSystray final : public std::enable_shared_from_this<cSystray>, private cSubclassOwner {
  struct Passkey {
    explicit Passkey() = default;
  };

 public:
  // The shell's callback message for this icon.
  static constexpr UINT kCallbackMessage = WM_MOUSEMOVE;
  static constexpr std::size_t kTipChars = 127;
  static constexpr std::size_t kInfoChars = 255;
  static constexpr std::size_t kInfoTitleChars = 63;
  // The icon's uID, the same for every instance: Windows remembers the user's choices for the
  // icon (always shown, hidden) by the program and this number, so a new number each time the
  // window goes to the tray would lose them. Instances stay apart by their hidden windows.
  static constexpr UINT kIconId = 1;
  // A NIM_ADD the shell refused (at logon it may not be up yet) is tried again this often
  // until it succeeds or the icon is no longer wanted.
  static constexpr UINT kAddRetryMs = 1000;
  static constexpr UINT_PTR kAddRetryTimerId = kIconId + 2;

  static std::shared_ptr<cSystray> Create(cSystrayEvents* events = nullptr,
                                          cSystrayShell shell = {});
  cSystray(Passkey, cSystrayEvents* events, cSystrayShell shell);
  ~cSystray();
  cSystray(const cSystray&) = delete;
  cSystray& operator=(const cSystray&) = delete;

  // Called with (lhWnd, notification code, ExtraParam, 0) for every notification of the icon.
  void SetProc(WNDPROC lProc);
  HWND lhWnd() const;
  void ExtraParam(WPARAM lVal);
  WPARAM ExtraParam() const;
  // Adds the icon, or updates it when shown (true); removes it (false). A refused add is
  // retried on a timer until the shell takes it.
  void SysTrayShow(bool bShow);
  // Shows the balloon of BalloonTitle/BalloonText/BalloonIcon and takes it down lTimeout ms
  // after the shell reports it shown (-1: leave it to the shell), or takes it down (false).
  // False when the shell has no balloons.
  bool BalloonShow(bool bShow, LONG lTimeout, bool bNoSound);
  bool IsBalloonCapable() const;
  // Makes the hidden window the foreground window, so that a menu opened from the icon closes
  // when the user clicks elsewhere.
  void BeforePopup();
  // Shows lIcon, which stays the holder's to free.
  void SysTrayIconFromHandle(HICON lIcon);
  // The loaders keep the icon shown before when they fail.
  bool SysTrayIconFromFile(const std::wstring& sFile);
  bool SysTrayIconFromRes(const std::wstring& sResName);
  bool SysTrayIconFromCompRes(const std::wstring& sResFile, int lIconIndex);
  const std::wstring& SysTrayToolTip() const;
  // Stored without the blanks around it, and sent at once.
  void SysTrayToolTip(const std::wstring& New_ToolTip);
  // The balloon's properties are kept as set and reach the shell together, in the one call
  // BalloonShow makes: written one by one, each would be a notification of its own.
  // The balloon's icon (0 none, 1 information, 2 warning, 3 error, 4 the tray icon's own).
  DWORD BalloonIcon() const;
  void BalloonIcon(DWORD Icon);
  const std::wstring& BalloonTitle() const;
  void BalloonTitle(const std::wstring& sTitle);
  const std::wstring& BalloonText() const;
  void BalloonText(const std::wstring& sText);

 private:
  void ProbeShellVersion();
  BOOL Notify(DWORD dwMessage);
  void AllowMessage(UINT message);
  UINT BalloonTimerId() const { return identity_ + 1; }
  // Makes hIcon the icon to show; the one loaded before is freed if it was ours to free.
  bool TakeLoadedIcon(HICON hIcon, bool owned);
  void RaiseEvent(UINT code);

  std::span<const cOwnerMethod> zMethods() const override;
  void OnBalloonTimer(std::span<const UINT_PTR> args, LRESULT& lResult);  // ordinal 2
  void OnTrayMessage(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND hWnd, UINT uMsg,
                     WPARAM wParam, LPARAM lParam, LONG_PTR& lParamUser);  // ordinal 1

  cSystrayEvents* events_;
  cSystrayShell shell_;
  cSubclassEngine engine_;
  const UINT identity_;  // the icon's uID; plus 1, the balloon timer's id
  bool ending_ = false;
  bool iconAdded_ = false;  // the shell took the NIM_ADD (IconShown: the icon is wanted)

  HWND TrayWindow = nullptr;
  NOTIFYICONDATAW IconData{};
  std::wstring ToolTipText;
  HICON IconHandle = nullptr;
  std::wstring BalloonTitleText;
  std::wstring BalloonBodyText;
  DWORD BalloonIconCode = 0;
  bool IconShown = false;
  UINT TaskbarCreatedMsg = 0;
  HICON OwnIcon = nullptr;  // loaded from a file by this instance, so freed by it
  DWORD IconDataSize = 0;
  LONG BalloonTimeout = 0;
  WNDPROC NotifyProc = nullptr;
  WPARAM NotifyParam = 0;
};

}  // namespace kelvara
