#include "cSystray.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "toolkit/SystemLibrary.h"

namespace kelvara {

namespace {

std::optional<int> ReadShellMajorVersion() {
  DWORD ignored = 0;
  const DWORD size = toolkit::system::GetFileVersionInfoSizeW(L"shell32.dll", &ignored);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> info(size);
  if (!toolkit::system::GetFileVersionInfoW(L"shell32.dll", 0, size, info.data())) return std::nullopt;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!toolkit::system::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      fixed == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  return static_cast<std::int16_t>(HIWORD(fixed->dwFileVersionMS));
}

std::wstring TrimBlanks(const std::wstring& text) {
  const auto first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

// Writes text into a fixed field of the icon record, cut to leave room for the terminating
// zero, and never cut between the two halves of a surrogate pair.
template <std::size_t N>
void PutText(WCHAR (&field)[N], const std::wstring& text) {
  std::size_t length = std::min(text.size(), N - 1);
  if (length < text.size() && length > 0 && (text[length - 1] & 0xFC00) == 0xD800) --length;
  std::fill(std::begin(field), std::end(field), L'\0');
  std::copy_n(text.begin(), length, field);
}

}  // namespace

std::shared_ptr<cSystray> cSystray::Create(cSystrayEvents* events, cSystrayShell shell) {
  return std::make_shared<cSystray>(Passkey{}, events, std::move(shell));
}

cSystray::cSystray(Passkey, cSystrayEvents* events, cSystrayShell shell)
    : events_(events),
      shell_(std::move(shell)),
      engine_(*this, L"cSystray"),
      identity_(kIconId) {
  if (IconDataSize == 0) ProbeShellVersion();
  TrayWindow = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  TaskbarCreatedMsg = RegisterWindowMessageW(L"TaskbarCreated");
  // Run elevated, the program would otherwise never hear the shell (UIPI drops messages from
  // the less privileged explorer): neither its restart nor the icon's notifications.
  if (TaskbarCreatedMsg != 0) AllowMessage(TaskbarCreatedMsg);
  AllowMessage(kCallbackMessage);
  // Without the subclass (already reported) the icon, tooltip and balloons still work; only the
  // events and the re-adding after a shell restart are lost.
  if (engine_.ssc_Subclass(TrayWindow, 0, 1, nullptr, true)) {
    engine_.ssc_WatchMsg(TrayWindow, kCallbackMessage, WATCH_AFTER);
    if (TaskbarCreatedMsg != 0) engine_.ssc_WatchMsg(TrayWindow, TaskbarCreatedMsg, WATCH_AFTER);
    engine_.ssc_WatchMsg(TrayWindow, WM_TIMER, WATCH_AFTER);  // the retry of a refused add
  }
}

cSystray::~cSystray() {
  // The shell may call back while the icon is taken down; nothing is raised from here on.
  ending_ = true;
  SysTrayShow(false);
  if (OwnIcon != nullptr) DestroyIcon(OwnIcon);
  engine_.ssc_StopAll();
  if (TrayWindow != nullptr) DestroyWindow(TrayWindow);
  engine_.scb_FreeAllCallbacks();
}

void cSystray::SetProc(WNDPROC lProc) { NotifyProc = lProc; }

HWND cSystray::lhWnd() const { return TrayWindow; }

void cSystray::ExtraParam(WPARAM lVal) { NotifyParam = lVal; }

WPARAM cSystray::ExtraParam() const { return NotifyParam; }

void cSystray::SysTrayShow(bool bShow) {
  if (bShow) {
    const bool add = !IconShown || !iconAdded_;
    if (add) {
      IconData.uTimeout = 3;
      IconData.cbSize = IconDataSize;
      IconData.hWnd = TrayWindow;
      IconData.uID = identity_;
      IconData.uCallbackMessage = kCallbackMessage;
    }
    IconData.uFlags = NIF_MESSAGE;
    if (IconHandle != nullptr) {
      IconData.uFlags |= NIF_ICON;
      IconData.hIcon = IconHandle;
    }
    if (!ToolTipText.empty()) {
      IconData.uFlags |= NIF_TIP;
      PutText(IconData.szTip, ToolTipText);
    }
    if (add) {
      // A busy shell may time out on an add it has made all the same: a modification it
      // accepts proves the icon is there.
      iconAdded_ = Notify(NIM_ADD) != FALSE || Notify(NIM_MODIFY) != FALSE;
      // Started from the Run entry at logon, the program may come before the shell: without
      // the retry a "-t" start would be left with neither window nor icon.
      if (iconAdded_) {
        KillTimer(TrayWindow, kAddRetryTimerId);
      } else {
        SetTimer(TrayWindow, kAddRetryTimerId, kAddRetryMs, nullptr);
      }
    } else {
      Notify(NIM_MODIFY);
    }
    IconShown = true;
  } else if (IconShown) {
    KillTimer(TrayWindow, BalloonTimerId());
    KillTimer(TrayWindow, kAddRetryTimerId);
    Notify(NIM_DELETE);
    IconShown = false;
    iconAdded_ = false;
  }
}

bool cSystray::BalloonShow(bool bShow, LONG lTimeout, bool bNoSound) {
  if (!IsBalloonCapable()) return false;
  if (bShow) {
    // One call carries title, text and icon: on Windows 10 and 11 every NIF_INFO modification
    // with a text is a notification of its own, with its sound. The new balloon replaces one
    // that is up, so no call takes that one down first; only its timer goes.
    KillTimer(TrayWindow, BalloonTimerId());
    BalloonTimeout = lTimeout;
    IconData.uFlags = NIF_INFO;
    PutText(IconData.szInfo, BalloonBodyText);
    PutText(IconData.szInfoTitle, BalloonTitleText);
    IconData.dwInfoFlags = BalloonIconCode | (bNoSound ? NIIF_NOSOUND : 0);
    // Since Vista the shell takes the balloon's own image from hBalloonIcon, not hIcon.
    IconData.hBalloonIcon =
        (BalloonIconCode & NIIF_ICON_MASK) == NIIF_USER ? IconHandle : nullptr;
    Notify(NIM_MODIFY);
  } else {
    IconData.uFlags = NIF_INFO;
    PutText(IconData.szInfo, {});
    PutText(IconData.szInfoTitle, {});
    Notify(NIM_MODIFY);
    KillTimer(TrayWindow, BalloonTimerId());
  }
  return true;
}

bool cSystray::IsBalloonCapable() const { return IconDataSize > NOTIFYICONDATAW_V1_SIZE; }

void cSystray::BeforePopup() { SetForegroundWindow(TrayWindow); }

void cSystray::SysTrayIconFromHandle(HICON lIcon) {
  IconHandle = lIcon;
  if (IconShown) {
    IconData.uFlags = NIF_ICON;
    IconData.hIcon = lIcon;
    Notify(NIM_MODIFY);
  }
}

bool cSystray::SysTrayIconFromFile(const std::wstring& sFile) {
  // Not shared: a shared icon from a file is never released by the system.
  const auto icon = static_cast<HICON>(LoadImageW(nullptr, sFile.c_str(), IMAGE_ICON, 16, 16,
                                                  LR_LOADFROMFILE | LR_LOADMAP3DCOLORS));
  return TakeLoadedIcon(icon, true);
}

bool cSystray::SysTrayIconFromRes(const std::wstring& sResName) {
  // Shared: the system keeps one copy per resource and frees it with the program.
  const auto icon =
      static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), sResName.c_str(), IMAGE_ICON, 16,
                                    16, LR_SHARED | LR_LOADMAP3DCOLORS));
  return TakeLoadedIcon(icon, false);
}

bool cSystray::SysTrayIconFromCompRes(const std::wstring& sResFile, int lIconIndex) {
  // A fresh handle: success is what the call delivered, not what was there before it.
  HICON icon = nullptr;
  toolkit::system::ExtractIconExW(sResFile.c_str(), lIconIndex, &icon, nullptr, 1);
  return TakeLoadedIcon(icon, true);
}

bool cSystray::TakeLoadedIcon(HICON hIcon, bool owned) {
  if (hIcon == nullptr) return false;
  HICON previous = std::exchange(OwnIcon, owned ? hIcon : nullptr);
  SysTrayIconFromHandle(hIcon);
  // Freed only now that nothing names it: IconHandle has moved on to the new icon.
  if (previous != nullptr && previous != hIcon) DestroyIcon(previous);
  return true;
}

const std::wstring& cSystray::SysTrayToolTip() const { return ToolTipText; }

void cSystray::SysTrayToolTip(const std::wstring& New_ToolTip) {
  ToolTipText = TrimBlanks(New_ToolTip);
  IconData.uFlags = NIF_TIP;
  PutText(IconData.szTip, ToolTipText);
  Notify(NIM_MODIFY);
}

DWORD cSystray::BalloonIcon() const { return BalloonIconCode; }

void cSystray::BalloonIcon(DWORD Icon) {
  if (!IsBalloonCapable()) return;
  // Kept until BalloonShow sends the whole balloon in one call.
  BalloonIconCode = Icon;
}

const std::wstring& cSystray::BalloonTitle() const { return BalloonTitleText; }

void cSystray::BalloonTitle(const std::wstring& sTitle) {
  if (!IsBalloonCapable()) return;
  BalloonTitleText = sTitle;
}

const std::wstring& cSystray::BalloonText() const { return BalloonBodyText; }

void cSystray::BalloonText(const std::wstring& sText) {
  if (!IsBalloonCapable()) return;
  BalloonBodyText = sText;
}

void cSystray::ProbeShellVersion() {
  const std::optional<int> major =
      shell_.majorVersion ? shell_.majorVersion() : ReadShellMajorVersion();
  if (!major) return;  // IconDataSize stays 0: no balloons
  if (*major < 5) {
    IconDataSize = NOTIFYICONDATAW_V1_SIZE;
  } else if (*major == 5) {
    IconDataSize = NOTIFYICONDATAW_V2_SIZE;
  } else {
    IconDataSize = sizeof(NOTIFYICONDATAW);
  }
}

void cSystray::AllowMessage(UINT message) {
  if (shell_.changeMessageFilter) {
    shell_.changeMessageFilter(TrayWindow, message, MSGFLT_ALLOW);
  } else {
    ChangeWindowMessageFilterEx(TrayWindow, message, MSGFLT_ALLOW, nullptr);
  }
}

BOOL cSystray::Notify(DWORD dwMessage) {
  if (shell_.notifyIcon) return shell_.notifyIcon(dwMessage, IconData);
  return toolkit::system::Shell_NotifyIconW(dwMessage, &IconData);
}

std::span<const cOwnerMethod> cSystray::zMethods() const {
  static constexpr cOwnerMethod methods[] = {
      {nullptr,
       [](cSubclassOwner& owner, std::span<const UINT_PTR> args, LRESULT& lResult) {
         static_cast<cSystray&>(owner).OnBalloonTimer(args, lResult);
       }},
      {[](cSubclassOwner& owner, bool bBefore, bool& bHandled, LRESULT& lReturn, HWND hWnd,
          UINT uMsg, WPARAM wParam, LPARAM lParam, LONG_PTR& lParamUser) {
         static_cast<cSystray&>(owner).OnTrayMessage(bBefore, bHandled, lReturn, hWnd, uMsg,
                                                     wParam, lParam, lParamUser);
       },
       nullptr},
  };
  return methods;
}

void cSystray::OnBalloonTimer(std::span<const UINT_PTR>, LRESULT& lResult) {
  lResult = 0;
  if (ending_) return;
  const std::shared_ptr<cSystray> self = weak_from_this().lock();
  BalloonShow(false, -1, false);
}

void cSystray::OnTrayMessage(bool, bool&, LRESULT&, HWND hWnd, UINT uMsg, WPARAM wParam,
                             LPARAM lParam, LONG_PTR&) {
  if (ending_) return;
  // Held until we return: a holder may let go of this instance from inside one of its events.
  const std::shared_ptr<cSystray> self = weak_from_this().lock();
  if (hWnd == TrayWindow && uMsg == kCallbackMessage) {
    const auto code = static_cast<UINT>(lParam);
    if (code == NIN_BALLOONHIDE || code == NIN_BALLOONTIMEOUT || code == NIN_BALLOONUSERCLICK) {
      KillTimer(TrayWindow, BalloonTimerId());
    }
    if (code == NIN_BALLOONSHOW && BalloonTimeout != -1) {
      // Our own timer takes the balloon down; the shell's timeout field is not relied on.
      if (const CallbackEntryPoint entry = engine_.scb_SetCallbackAddr(4, 2)) {
        SetTimer(TrayWindow, BalloonTimerId(), static_cast<UINT>(BalloonTimeout),
                 reinterpret_cast<TIMERPROC>(reinterpret_cast<void (*)()>(entry)));
      }
    }
    RaiseEvent(code);
    if (NotifyProc != nullptr) CallWindowProcW(NotifyProc, TrayWindow, code, NotifyParam, 0);
  }
  if (uMsg == TaskbarCreatedMsg && TaskbarCreatedMsg != 0 && IconShown) {
    // The new shell knows nothing of us: add the icon again, with its icon and tooltip.
    IconShown = false;
    iconAdded_ = false;
    SysTrayShow(true);
  }
  if (hWnd == TrayWindow && uMsg == WM_TIMER && wParam == kAddRetryTimerId) {
    if (IconShown && !iconAdded_) {
      SysTrayShow(true);
    } else {
      KillTimer(TrayWindow, kAddRetryTimerId);
    }
  }
}

void cSystray::RaiseEvent(UINT code) {
  if (events_ == nullptr) return;
  std::int16_t Button = 0;
  switch (code) {
    case WM_MOUSEMOVE: events_->MouseMove(); break;
    case WM_LBUTTONDOWN: Button = 1; events_->MouseDown(Button); break;
    case WM_RBUTTONDOWN: Button = 2; events_->MouseDown(Button); break;
    case WM_MBUTTONDOWN: Button = 4; events_->MouseDown(Button); break;
    case WM_RBUTTONUP: Button = 2; events_->MouseUp(Button); break;
    case WM_LBUTTONDBLCLK: Button = 1; events_->MouseDblClick(Button); break;
    case WM_RBUTTONDBLCLK: Button = 2; events_->MouseDblClick(Button); break;
    case WM_MBUTTONDBLCLK: Button = 4; events_->MouseDblClick(Button); break;
    case NIN_BALLOONTIMEOUT: events_->BalloonClose(); break;
    case NIN_BALLOONUSERCLICK: events_->BalloonClick(); break;
    case NIN_BALLOONSHOW: events_->BalloonShow(); break;
    case NIN_BALLOONHIDE: events_->BalloonHide(); break;
    default: break;  // the left and middle releases, and anything else, raise nothing
  }
}

}  // namespace kelvara
