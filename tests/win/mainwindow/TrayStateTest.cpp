// The tray state: Escape, minimising and "-t" put the window into the tray with exactly one
// icon; the icon's double click brings it back; its right button opens the tray menu.
#include "ServicesFixture.h"
#include "toolkit/Application.h"

#include <array>
#include <vector>

namespace kelvara {
namespace {

using toolkit::WindowState;

const wchar_t kToolTip[] = L"واژه نامه کلوارا";

class TrayState : public ServicesTest {
 protected:
  void SetUp() override { Start(); }

  void ExpectInTheTray() {
    EXPECT_EQ(State(), WindowState::Minimized);
    EXPECT_FALSE(Shown());
    ASSERT_NE(main->f_cSystray, nullptr);
    EXPECT_EQ(main->f_cSystray->SysTrayToolTip(), kToolTip);
    EXPECT_EQ(LiveTrayObjects(), 1) << "exactly one tray icon";
  }
  // The shell's notification for the icon, as the tray object's window receives it.
  void Notify(UINT code) {
    SendMessageW(main->f_cSystray->lhWnd(), cSystray::kCallbackMessage, 0, static_cast<LPARAM>(code));
  }
  // A key pressed in the word box, through the program's own keyboard handling.
  void PressKey(UINT message, WPARAM key, std::initializer_list<int> held = {}) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE saved[256];
    std::copy(std::begin(keys), std::end(keys), saved);
    for (int vk : held) keys[vk] = 0x80;
    SetKeyboardState(keys);
    MSG msg{main->txtWord.hWnd(), message, key, 1, 0, {}};
    toolkit::Application::ProcessMessage(msg);
    SetKeyboardState(saved);
    PumpFor(20);
  }
};

TEST_F(TrayState, EscapeHidesTheWindowToTheTrayWithOneIcon) {
  PressKey(WM_KEYDOWN, VK_ESCAPE);
  ExpectInTheTray();
}

TEST_F(TrayState, EscapeWithShiftCtrlOrAltIsLeftAlone) {
  PressKey(WM_KEYDOWN, VK_ESCAPE, {VK_SHIFT});
  PressKey(WM_KEYDOWN, VK_ESCAPE, {VK_CONTROL});
  PressKey(WM_SYSKEYDOWN, VK_ESCAPE, {VK_MENU});
  EXPECT_TRUE(Shown());
  EXPECT_EQ(main->f_cSystray, nullptr);
  EXPECT_EQ(LiveTrayObjects(), 0);
}

TEST_F(TrayState, MinimisingByAnyMeansGoesToTheTrayWithOneIcon) {
  main->SetWindowState(WindowState::Minimized);
  PumpFor(20);
  ExpectInTheTray();

  Notify(WM_LBUTTONDBLCLK);
  ASSERT_TRUE(Shown());
  // The title bar's button.
  SendMessageW(main->hWnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  PumpFor(20);
  ExpectInTheTray();

  // Escape after all that still leaves one icon.
  Notify(WM_LBUTTONDBLCLK);
  PressKey(WM_KEYDOWN, VK_ESCAPE);
  ExpectInTheTray();
}

TEST_F(TrayState, ADoubleClickWithAnyButtonBringsTheWindowBackAndTheIconGoes) {
  main->txtWord.SetText(L"apple");
  for (UINT code : {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK}) {
    ToTray();
    std::weak_ptr<cSystray> tray = main->f_cSystray;
    Notify(code);  // the handler lets go of the object that raised the event
    EXPECT_TRUE(Shown()) << code;
    EXPECT_EQ(State(), WindowState::Normal);
    EXPECT_EQ(main->txtWord.SelStart(), 0);
    EXPECT_EQ(main->txtWord.SelLength(), 5);
    EXPECT_EQ(main->f_cSystray, nullptr);
    EXPECT_TRUE(tray.expired()) << "ended once its event had returned";
    EXPECT_EQ(LiveTrayObjects(), 0);
  }
}

TEST_F(TrayState, AWindowMaximisedBeforeItWentComesBackNormal) {
  main->SetWindowState(WindowState::Maximized);
  ToTray();
  Notify(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(Shown());
  EXPECT_EQ(State(), WindowState::Normal);
}

TEST_F(TrayState, ASingleClickDoesNothing) {
  ToTray();
  for (UINT code : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MOUSEMOVE})
    Notify(code);
  ExpectInTheTray();
}

// What the open pop-up menu shows, read from the menu window itself.
struct MenuSeen {
  std::vector<std::wstring> entries, subEntries;
  std::vector<bool> subChecked, subEnabled;
  bool open = false;
};
MenuSeen g_seen;

std::vector<std::wstring> Captions(HMENU menu, std::vector<bool>* checked = nullptr,
                                   std::vector<bool>* enabled = nullptr) {
  std::vector<std::wstring> captions;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = 128;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    captions.emplace_back((info.fType & MFT_SEPARATOR) ? L"-" : text);
    if (checked) checked->push_back((info.fState & MFS_CHECKED) != 0);
    if (enabled) enabled->push_back((info.fState & MFS_DISABLED) == 0);
  }
  return captions;
}

void CALLBACK ReadMenuAndClose(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  HWND menuWindow = FindWindowW(L"#32768", nullptr);
  if (menuWindow && IsWindowVisible(menuWindow)) {
    g_seen.open = true;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    g_seen.entries = Captions(menu);
    if (HMENU sub = GetSubMenu(menu, 0))
      g_seen.subEntries = Captions(sub, &g_seen.subChecked, &g_seen.subEnabled);
  }
  EndMenu();
}

TEST_F(TrayState, TheRightButtonsReleaseOpensTheTrayMenuAsDesigned) {
  main->Word_menu->onClick();  // watching off: the balloon entry greyed
  ToTray();
  g_seen = {};
  SetTimer(nullptr, 0, 300, &ReadMenuAndClose);
  Notify(WM_RBUTTONDOWN);
  EXPECT_FALSE(g_seen.open) << "the menu opens on the release";
  Notify(WM_RBUTTONUP);  // returns once the menu has closed
  ASSERT_TRUE(g_seen.open);
  EXPECT_EQ(g_seen.entries, (std::vector<std::wstring>{L"شکارچي لغت", L"درباره واژه نامه کلوارا",
                                                       L"-", L"بستن"}));
  EXPECT_EQ(g_seen.subEntries,
            (std::vector<std::wstring>{L"فعال", L"-", L"نمايش ترجمه در بالون"}));
  EXPECT_EQ(g_seen.subChecked, (std::vector<bool>{false, false, false}));
  EXPECT_FALSE(g_seen.subEnabled.at(2));
  ExpectInTheTray();
}

TEST_F(TrayState, CloseFromTheTrayMenuEndsTheProgramAndTakesTheIconAway) {
  ToTray();
  main->Close_menu->onClick();
  EXPECT_EQ(main->hWnd(), nullptr);
  EXPECT_EQ(main->f_cSystray, nullptr);
  EXPECT_EQ(LiveTrayObjects(), 0);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program ends";
}

HWND g_about = nullptr;
void CALLBACK CloseAbout(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_about = FindWindowW(nullptr, L"About Dictionary");
  if (g_about) PostMessageW(g_about, WM_CLOSE, 0, 0);
}

TEST_F(TrayState, AboutFromTheTrayMenuShowsTheAboutDialog) {
  ToTray();
  g_about = nullptr;
  SetTimer(nullptr, 0, 300, &CloseAbout);
  main->About_menu->onClick();  // modal: returns once the dialog is closed
  EXPECT_NE(g_about, nullptr);
  ExpectInTheTray();
}

TEST_F(TrayState, TheIconKeepsOneIdAcrossHidingAndRestoring) {
  // Windows remembers "always show" for the program's icon by its id.
  ShellRecorder shell;
  main->TrayShell = shell.Seam();
  EndWindowFirst endFirst{*this};
  for (int cycle = 0; cycle < 2; ++cycle) {
    ToTray();
    Notify(WM_LBUTTONDBLCLK);
    main->SetWindowState(WindowState::Minimized);
    PumpFor(20);
    Notify(WM_LBUTTONDBLCLK);
  }
  int adds = 0;
  for (const auto& call : shell.calls) {
    if (call.message != NIM_ADD) continue;
    ++adds;
    EXPECT_EQ(call.data.uID, cSystray::kIconId);
  }
  EXPECT_GE(adds, 4);
}

class StartSwitch : public ServicesTest {};

TEST_F(StartSwitch, AMinusTStartBeforeTheShellIsUpGetsItsIconOnceTheShellTakesIt) {
  // At logon the Run entry may start the program before the notification area exists.
  ShellRecorder shell;
  bool shellUp = false;
  shell.answer = [&](DWORD m, const NOTIFYICONDATAW& d) -> BOOL {
    if (!shellUp && m != NIM_DELETE) return FALSE;
    NOTIFYICONDATAW copy = d;
    return Shell_NotifyIconW(m, &copy);
  };
  trayShell = shell.Seam();
  EndWindowFirst endFirst{*this};
  Start(L"-t");
  EXPECT_FALSE(Shown());
  ASSERT_NE(main->f_cSystray, nullptr);
  EXPECT_EQ(LiveTrayObjects(), 1);
  shellUp = true;
  ASSERT_TRUE(PumpUntil([&] {
    return !shell.calls.empty() && shell.calls.back().message == NIM_ADD &&
           shell.calls.back().data.hWnd == main->f_cSystray->lhWnd();
  }));
  // Really in the notification area now: the shell knows the icon.
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof probe;
  probe.hWnd = main->f_cSystray->lhWnd();
  probe.uID = cSystray::kIconId;
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe));
}

TEST_F(StartSwitch, ExactlyMinusTStartsInTheTrayWithOneIcon) {
  Start(L"-t");
  EXPECT_EQ(State(), WindowState::Minimized);
  EXPECT_FALSE(Shown());
  ASSERT_NE(main->f_cSystray, nullptr);
  EXPECT_EQ(main->f_cSystray->SysTrayToolTip(), kToolTip);
  EXPECT_EQ(LiveTrayObjects(), 1);
  // Loading went on: watching is on.
  EXPECT_TRUE(main->tmrClipboard.Enabled());
}

TEST_F(StartSwitch, AnythingElseStartsNormally) {
  for (const wchar_t* command : {L"", L"-T", L"-t x", L"-tt", L"/t", L"-t ", L"\"-t\""}) {
    Start(command);
    EXPECT_TRUE(Shown()) << command;
    EXPECT_EQ(State(), WindowState::Normal) << command;
    EXPECT_EQ(main->f_cSystray, nullptr) << command;
    EXPECT_EQ(LiveTrayObjects(), 0) << command;
    access.reset();
    main.reset();
  }
}

}  // namespace
}  // namespace kelvara
