#include "cSystray.h"
#include "test_support.h"
#include "toolkit/SystemLibrary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kelvara;

using ::testing::ElementsAre;

namespace {

// An engine report that a test does not collect itself fails the test instead of opening a box
// that nobody would close.
const bool g_reportsFailTests = [] {
  SetEngineReportSink(FailOnReport());
  return true;
}();

struct ShellCall {
  DWORD message;
  NOTIFYICONDATAW data;
};

// Holds a tray object, hears its events and keeps every record it sends to the shell.
struct Holder : cSystrayEvents {
  explicit Holder(std::optional<int> shellMajor = 6)
      : tray(cSystray::Create(this, {[this](DWORD m, const NOTIFYICONDATAW& d) {
                                       calls.push_back({m, d});
                                       return answer ? answer(m) : TRUE;
                                     },
                                     [shellMajor] { return shellMajor; },
                                     [this](HWND w, UINT message, DWORD action) {
                                       filtered.push_back({w, message, action});
                                       return TRUE;
                                     }})) {}

  void MouseMove() override { events.push_back("MouseMove"); }
  void MouseDown(std::int16_t& b) override { events.push_back("MouseDown " + std::to_string(b)); }
  void MouseUp(std::int16_t& b) override { events.push_back("MouseUp " + std::to_string(b)); }
  void MouseDblClick(std::int16_t& b) override {
    events.push_back("MouseDblClick " + std::to_string(b));
    if (onDblClick) onDblClick();
  }
  void BalloonClose() override { events.push_back("BalloonClose"); }
  void BalloonClick() override { events.push_back("BalloonClick"); }
  void BalloonShow() override { events.push_back("BalloonShow"); }
  void BalloonHide() override { events.push_back("BalloonHide"); }

  // What the shell would send for a mouse action or a balloon's life.
  void Shell(UINT code) { SendMessageW(window, cSystray::kCallbackMessage, uID(), code); }
  UINT uID() const {
    for (const auto& c : calls) {
      if (c.message == NIM_ADD) return c.data.uID;
    }
    return 0;
  }
  const ShellCall& Last() const { return calls.back(); }

  int Count(DWORD message) const {
    const auto sent = [message](const ShellCall& c) { return c.message == message; };
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), sent));
  }

  struct Filtered {
    HWND window;
    UINT message;
    DWORD action;
    bool operator==(const Filtered&) const = default;
  };
  std::vector<ShellCall> calls;
  std::vector<Filtered> filtered;
  // What the shell answers each message; TRUE when empty.
  std::function<BOOL(DWORD message)> answer;
  std::vector<std::string> events;
  std::function<void()> onDblClick;
  std::shared_ptr<cSystray> tray;
  HWND window = tray->lhWnd();
};

bool IconLives(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return false;
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return true;
}

TEST(Systray, LivesInAHiddenTopLevelWindowThatGoesWithIt) {
  const std::size_t before = cSubclassEngine::zRecordsInUse();
  Holder h;
  wchar_t cls[32] = {};
  GetClassNameW(h.window, cls, 32);
  EXPECT_STREQ(cls, L"Static");
  EXPECT_FALSE(IsWindowVisible(h.window));
  EXPECT_EQ(GetAncestor(h.window, GA_PARENT), GetDesktopWindow());  // hears the broadcasts
  EXPECT_EQ(cSubclassEngine::zRecordsInUse(), before + 1);
  h.tray.reset();
  EXPECT_FALSE(IsWindow(h.window));
  EXPECT_EQ(cSubclassEngine::zRecordsInUse(), before);
  EXPECT_TRUE(h.calls.empty());  // never shown, so nothing to delete
}

TEST(Systray, ShowAddsTheIconOnceThenModifiesItAndHideRemovesIt) {
  Holder h;
  Holder other;
  h.tray->SysTrayShow(true);
  ASSERT_EQ(h.calls.size(), 1u);
  const NOTIFYICONDATAW& added = h.Last().data;
  EXPECT_EQ(h.Last().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(added.cbSize, sizeof(NOTIFYICONDATAW));
  EXPECT_EQ(added.hWnd, h.window);
  EXPECT_NE(added.uID, 0u);
  EXPECT_EQ(added.uFlags, static_cast<UINT>(NIF_MESSAGE));
  EXPECT_EQ(added.uCallbackMessage, 0x200u);
  EXPECT_EQ(added.uTimeout, 3u);

  HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
  h.tray->SysTrayIconFromHandle(icon);
  EXPECT_EQ(h.Last().data.uFlags, static_cast<UINT>(NIF_ICON));
  EXPECT_EQ(h.Last().data.hIcon, icon);
  h.tray->SysTrayToolTip(L"tip");
  h.tray->SysTrayShow(true);
  EXPECT_EQ(h.Last().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(h.Last().data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));

  other.tray->SysTrayShow(true);
  // Every instance's icon has the same id, so the user's choices for it stick; the two icons
  // stay apart by their windows.
  EXPECT_EQ(h.uID(), cSystray::kIconId);
  EXPECT_EQ(other.uID(), cSystray::kIconId);
  EXPECT_NE(other.Last().data.hWnd, h.window);
  other.tray.reset();
  EXPECT_EQ(other.Last().message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(other.Last().data.uID, other.uID());

  const std::size_t sent = h.calls.size();
  h.tray->SysTrayShow(false);
  h.tray->SysTrayShow(false);
  ASSERT_EQ(h.calls.size(), sent + 1);
  EXPECT_EQ(h.Last().message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(h.Last().data.uID, h.uID());
}

TEST(Systray, ARefusedAddIsTriedAgainOnATimerUntilTheShellTakesIt) {
  Holder h;
  int refusals = 2;  // the shell is not up yet, twice
  h.answer = [&](DWORD m) -> BOOL { return refusals > 0 && m != NIM_DELETE ? FALSE : TRUE; };
  h.tray->SysTrayIconFromHandle(LoadIconW(nullptr, IDI_APPLICATION));
  h.tray->SysTrayToolTip(L"tip");
  h.tray->SysTrayShow(true);
  ASSERT_EQ(h.Count(NIM_ADD), 1);
  --refusals;
  ASSERT_TRUE(PumpUntil([&] { return h.Count(NIM_ADD) == 2; }));
  --refusals;
  ASSERT_TRUE(PumpUntil([&] { return h.Count(NIM_ADD) == 3; }));
  // The add that succeeds carries everything the icon has.
  const auto added = std::find_if(h.calls.rbegin(), h.calls.rend(),
                                  [](const ShellCall& c) { return c.message == NIM_ADD; });
  EXPECT_EQ(added->data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(added->data.uID, cSystray::kIconId);
  EXPECT_STREQ(added->data.szTip, L"tip");
  EXPECT_FALSE(KillTimer(h.window, cSystray::kAddRetryTimerId)) << "no retry once it is in";
  h.tray->SysTrayShow(true);
  EXPECT_EQ(h.Last().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(h.Count(NIM_ADD), 3);
}

TEST(Systray, ARetryEndsWhenTheIconIsNoLongerWanted) {
  Holder h;
  h.answer = [](DWORD m) -> BOOL { return m == NIM_DELETE; };
  h.tray->SysTrayShow(true);
  h.tray->SysTrayShow(false);
  EXPECT_FALSE(KillTimer(h.window, cSystray::kAddRetryTimerId));
  // A timer message already on its way finds nothing to do.
  SendMessageW(h.window, WM_TIMER, cSystray::kAddRetryTimerId, 0);
  EXPECT_EQ(h.Count(NIM_ADD), 1);
}

TEST(Systray, AnAddTheShellTimedOutOnButMadeIsNotRetried) {
  // Windows' shell may answer an add with a timeout and have the icon all the same.
  Holder h;
  h.answer = [](DWORD m) -> BOOL { return m != NIM_ADD; };
  h.tray->SysTrayShow(true);
  EXPECT_EQ(h.Last().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_FALSE(KillTimer(h.window, cSystray::kAddRetryTimerId));
}

TEST(Systray, TheShellsMessagesAreLetThroughForAnElevatedProgram) {
  Holder h;
  const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  using Filtered = Holder::Filtered;
  EXPECT_THAT(h.filtered,
              ::testing::UnorderedElementsAre(
                  Filtered{h.window, taskbarCreated, MSGFLT_ALLOW},
                  Filtered{h.window, cSystray::kCallbackMessage, MSGFLT_ALLOW}));
}

TEST(Systray, TheToolTipIsTrimmedCutToTheFieldAndSent) {
  Holder h;
  h.tray->SysTrayShow(true);
  EXPECT_EQ(h.Last().data.uFlags & NIF_TIP, 0u);  // no tooltip yet: none sent
  h.tray->SysTrayToolTip(L"  واژه نامه کلوارا  ");
  EXPECT_EQ(h.tray->SysTrayToolTip(), L"واژه نامه کلوارا");
  EXPECT_EQ(h.Last().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(h.Last().data.uFlags, static_cast<UINT>(NIF_TIP));
  EXPECT_STREQ(h.Last().data.szTip, L"واژه نامه کلوارا");

  const std::wstring longTip(200, L'x');
  h.tray->SysTrayToolTip(longTip);
  EXPECT_EQ(h.tray->SysTrayToolTip(), longTip);
  EXPECT_EQ(std::wstring(h.Last().data.szTip), longTip.substr(0, 127));
  // A character outside the BMP is never cut in half.
  h.tray->SysTrayToolTip(std::wstring(126, L'x') + L"\U0001F600");
  EXPECT_EQ(std::wstring(h.Last().data.szTip), std::wstring(126, L'x'));

  h.tray->SysTrayToolTip(L"   ");
  EXPECT_EQ(h.Last().data.uFlags, static_cast<UINT>(NIF_TIP));
  EXPECT_STREQ(h.Last().data.szTip, L"");
}

int InfoModifications(const std::vector<ShellCall>& calls, std::size_t from = 0) {
  int count = 0;
  for (std::size_t i = from; i < calls.size(); ++i)
    if (calls[i].message == NIM_MODIFY && (calls[i].data.uFlags & NIF_INFO) != 0) ++count;
  return count;
}

TEST(Systray, BalloonPropertiesAreKeptAndReachTheShellInOneCall) {
  Holder h;
  HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
  h.tray->SysTrayIconFromHandle(icon);
  h.tray->SysTrayShow(true);
  const std::size_t before = h.calls.size();
  h.tray->BalloonTitle(std::wstring(80, L't'));
  h.tray->BalloonText(std::wstring(300, L'b'));
  h.tray->BalloonIcon(4);
  EXPECT_EQ(h.calls.size(), before) << "written one by one, each would be a notification";
  EXPECT_EQ(h.tray->BalloonTitle(), std::wstring(80, L't'));
  EXPECT_EQ(h.tray->BalloonIcon(), 4u);

  EXPECT_TRUE(h.tray->BalloonShow(true, 5000, false));
  ASSERT_EQ(h.calls.size(), before + 1);
  const NOTIFYICONDATAW& up = h.Last().data;
  EXPECT_EQ(h.Last().message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(up.uFlags, static_cast<UINT>(NIF_INFO));
  EXPECT_EQ(std::wstring(up.szInfoTitle), std::wstring(63, L't'));
  EXPECT_EQ(std::wstring(up.szInfo), std::wstring(255, L'b'));
  EXPECT_EQ(up.dwInfoFlags, static_cast<DWORD>(NIIF_USER));
  EXPECT_EQ(up.hBalloonIcon, icon) << "the program's own image, where Windows looks for it";

  // A second copy while the first balloon is up: one call again, the new title with the new
  // text, never the new title over the old text.
  h.tray->BalloonTitle(L"apple");
  h.tray->BalloonText(L"سیب");
  h.tray->BalloonIcon(4);
  EXPECT_TRUE(h.tray->BalloonShow(true, 5000, true));
  ASSERT_EQ(h.calls.size(), before + 2);
  EXPECT_EQ(InfoModifications(h.calls, before), 2);
  EXPECT_STREQ(h.Last().data.szInfoTitle, L"apple");
  EXPECT_STREQ(h.Last().data.szInfo, L"سیب");
  EXPECT_EQ(h.Last().data.dwInfoFlags, static_cast<DWORD>(NIIF_USER | NIIF_NOSOUND));

  // The shell's own icons carry no image of ours.
  h.tray->BalloonIcon(NIIF_WARNING);
  h.tray->BalloonShow(true, 5000, false);
  EXPECT_EQ(h.Last().data.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
  EXPECT_EQ(h.Last().data.hBalloonIcon, nullptr);
}

TEST(Systray, TakingTheBalloonDownEmptiesItsTexts) {
  Holder h;
  h.tray->SysTrayShow(true);
  h.tray->BalloonText(L"meaning");
  h.tray->BalloonShow(true, 5000, false);
  EXPECT_TRUE(h.tray->BalloonShow(false, -1, false));
  EXPECT_EQ(h.Last().data.uFlags, static_cast<UINT>(NIF_INFO));
  EXPECT_STREQ(h.Last().data.szInfo, L"");
  EXPECT_STREQ(h.Last().data.szInfoTitle, L"");
  EXPECT_EQ(h.tray->BalloonText(), L"meaning") << "the property is kept";
}

TEST(Systray, OlderShellsGetTheirRecordSizeAndNoBalloons) {
  Holder v4(4);
  Holder v5(5);
  Holder unknown(std::nullopt);
  for (Holder* h : {&v4, &unknown}) {
    h->tray->SysTrayShow(true);
    const std::size_t sent = h->calls.size();
    EXPECT_FALSE(h->tray->IsBalloonCapable());
    EXPECT_FALSE(h->tray->BalloonShow(true, 5000, false));
    h->tray->BalloonTitle(L"t");
    h->tray->BalloonText(L"b");
    h->tray->BalloonIcon(4);
    EXPECT_EQ(h->calls.size(), sent);
    EXPECT_EQ(h->tray->BalloonTitle(), L"");
    EXPECT_EQ(h->tray->BalloonText(), L"");
    EXPECT_EQ(h->tray->BalloonIcon(), 0u);
  }
  EXPECT_EQ(v4.calls[0].data.cbSize, NOTIFYICONDATAW_V1_SIZE);
  EXPECT_EQ(unknown.calls[0].data.cbSize, 0u);
  v5.tray->SysTrayShow(true);
  EXPECT_EQ(v5.calls[0].data.cbSize, NOTIFYICONDATAW_V2_SIZE);
  EXPECT_TRUE(v5.tray->IsBalloonCapable());
}

std::vector<UINT> g_notified;

TEST(Systray, ShellNotificationsBecomeEventsAndReachTheNotifyProc) {
  Holder h;
  h.tray->SetProc([](HWND, UINT code, WPARAM extra, LPARAM) -> LRESULT {
    if (extra == 42) g_notified.push_back(code);
    return 0;
  });
  h.tray->ExtraParam(42);
  const std::vector<UINT> codes{0x200, 0x201, 0x202, 0x203, 0x204, 0x205, 0x206, 0x207,
                                0x208, 0x209, 0x402, 0x403, 0x404, 0x405, 0x401, 0x300};
  for (UINT code : codes) h.Shell(code);
  SendMessageW(h.window, WM_APP, 0, 0x201);  // not the callback message
  EXPECT_THAT(h.events,
              ElementsAre("MouseMove", "MouseDown 1", "MouseDblClick 1", "MouseDown 2", "MouseUp 2",
                          "MouseDblClick 2", "MouseDown 4", "MouseDblClick 4", "BalloonShow",
                          "BalloonHide", "BalloonClose", "BalloonClick"));
  EXPECT_EQ(g_notified, codes);
}

TEST(Systray, TheBalloonTimerStartsWhenTheShellShowsTheBalloon) {
  Holder h;
  h.tray->SysTrayShow(true);
  const UINT timerId = h.uID() + 1;
  h.Shell(NIN_BALLOONSHOW);  // before any BalloonShow the timeout is 0: taken down at once
  EXPECT_TRUE(KillTimer(h.window, timerId));

  h.tray->BalloonShow(true, -1, false);
  h.Shell(NIN_BALLOONSHOW);
  EXPECT_FALSE(KillTimer(h.window, timerId));  // left to the shell

  h.tray->BalloonShow(true, 5000, false);
  h.Shell(NIN_BALLOONSHOW);
  h.Shell(NIN_BALLOONTIMEOUT);
  EXPECT_FALSE(KillTimer(h.window, timerId));  // the shell took it down first

  h.tray->BalloonText(L"meaning");
  h.tray->BalloonShow(true, 30, false);
  h.Shell(NIN_BALLOONSHOW);
  const std::size_t sent = h.calls.size();
  EXPECT_TRUE(PumpUntil([&] { return h.calls.size() > sent; }));
  EXPECT_EQ(h.Last().data.uFlags, static_cast<UINT>(NIF_INFO));
  EXPECT_STREQ(h.Last().data.szInfo, L"");
  EXPECT_FALSE(KillTimer(h.window, timerId));  // it fires once
}

TEST(Systray, AShownIconComesBackWhenTheTaskbarIsCreatedAgain) {
  Holder h;
  const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  SendMessageW(h.window, taskbarCreated, 0, 0);
  EXPECT_TRUE(h.calls.empty());  // hidden icons stay hidden
  h.tray->SysTrayIconFromHandle(LoadIconW(nullptr, IDI_APPLICATION));
  h.tray->SysTrayToolTip(L"tip");
  h.tray->SysTrayShow(true);
  h.tray->BalloonText(L"not again");
  SendMessageW(h.window, taskbarCreated, 0, 0);
  EXPECT_EQ(h.Last().message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(h.Last().data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(h.Last().data.uID, h.uID());
  EXPECT_EQ(std::count_if(h.calls.begin(), h.calls.end(),
                          [](const ShellCall& c) { return c.message == NIM_ADD; }),
            2);
  EXPECT_STREQ(h.Last().data.szTip, L"tip");
}

TEST(Systray, AHolderMayReleaseTheInstanceFromInsideItsOwnEvent) {
  const std::size_t records = cSubclassEngine::zRecordsInUse();
  Holder h;
  h.tray->SysTrayShow(true);
  std::weak_ptr<cSystray> watch = h.tray;
  bool aliveInside = false;
  h.onDblClick = [&] {
    h.tray.reset();  // what the restore action does
    aliveInside = !watch.expired() && IsWindow(watch.lock()->lhWnd());
  };
  h.Shell(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(aliveInside);
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(IsWindow(h.window));
  EXPECT_EQ(h.Last().message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(cSubclassEngine::zRecordsInUse(), records);
}

std::wstring WriteTestIconFile() {
  HRSRC res = FindResourceW(nullptr, L"TESTICO", MAKEINTRESOURCEW(10));  // RT_RCDATA
  const void* bytes = LockResource(LoadResource(nullptr, res));
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  const std::wstring path = std::wstring(dir) + L"kelvara-tray-test.ico";
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(f, bytes, SizeofResource(nullptr, res), &written, nullptr);
  CloseHandle(f);
  return path;
}

TEST(Systray, IconLoadersKeepTheShownIconWhenTheyFail) {
  Holder h;
  ASSERT_TRUE(h.tray->SysTrayIconFromRes(L"AAA"));
  h.tray->SysTrayShow(true);
  const HICON fromRes = h.Last().data.hIcon;
  ASSERT_NE(fromRes, nullptr);
  EXPECT_FALSE(h.tray->SysTrayIconFromRes(L"NO_SUCH_ICON"));
  EXPECT_FALSE(h.tray->SysTrayIconFromFile(L"C:\\no\\such.ico"));
  EXPECT_FALSE(h.tray->SysTrayIconFromCompRes(L"C:\\no\\such.dll", 0));
  h.tray->SysTrayShow(true);
  EXPECT_EQ(h.Last().data.hIcon, fromRes);

  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  ASSERT_TRUE(h.tray->SysTrayIconFromCompRes(exe, 0));
  const HICON extracted = h.Last().data.hIcon;
  EXPECT_NE(extracted, fromRes);
  EXPECT_FALSE(h.tray->SysTrayIconFromCompRes(exe, 5));  // there is one icon only
  EXPECT_TRUE(IconLives(extracted));                     // still shown, so still alive
}

TEST(Systray, IconsLoadedFromFilesAreFreedAndSharedOnesLeftAlone) {
  const std::wstring file = WriteTestIconFile();
  Holder h;
  h.tray->SysTrayShow(true);
  ASSERT_TRUE(h.tray->SysTrayIconFromFile(file));
  const HICON fromFile = h.Last().data.hIcon;
  ASSERT_TRUE(h.tray->SysTrayIconFromRes(L"AAA"));
  const HICON fromRes = h.Last().data.hIcon;
  EXPECT_FALSE(IconLives(fromFile));  // replaced, so freed
  ASSERT_TRUE(h.tray->SysTrayIconFromFile(file));
  const HICON second = h.Last().data.hIcon;
  h.tray.reset();
  EXPECT_FALSE(IconLives(second));
  EXPECT_TRUE(IconLives(fromRes));  // shared: the system's to free
  DeleteFileW(file.c_str());
}

HMODULE NoDll(const wchar_t*) {
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

TEST(Systray, WithoutTheShellsDllsThereIsNoBalloonAndTheAddIsTriedAgainLater) {
  // The real shell calls, with neither shell32 nor version to be had: as a shell that is not up.
  const auto previous = toolkit::SetSystemLibraryLoader(NoDll);
  {
    Holder events;
    const std::shared_ptr<cSystray> tray = cSystray::Create(&events, {});
    EXPECT_FALSE(tray->IsBalloonCapable()) << "shell32's version could not be read";
    EXPECT_TRUE(tray->SysTrayIconFromRes(L"AAA"));
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    EXPECT_FALSE(tray->SysTrayIconFromCompRes(exe, 0));
    tray->SysTrayShow(true);
    EXPECT_TRUE(KillTimer(tray->lhWnd(), cSystray::kAddRetryTimerId)) << "the add is retried";
  }
  toolkit::SetSystemLibraryLoader(previous);
}

}  // namespace
