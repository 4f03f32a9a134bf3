#include "SubclassEngine.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace kelvara;

using Trace = std::vector<std::string>;

namespace {

Trace g_trace;  // what the handlers and the window's own procedure saw, in order

void Step(const char* who, UINT uMsg) {
  char text[32];
  std::snprintf(text, sizeof text, "%s %04X", who, uMsg);
  g_trace.emplace_back(text);
}

// The window's own procedure: answers WM_APP + n with 100 + n.
LRESULT CALLBACK OwnProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg >= WM_APP || uMsg == WM_DESTROY) Step("own", uMsg);
  if (uMsg >= WM_APP) return uMsg - WM_APP + 100;
  return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

HWND NewWindow() {
  static const ATOM cls = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KelvaraEngineTest";
    return RegisterClassW(&wc);
  }();
  return CreateWindowExW(0, MAKEINTATOM(cls), L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

// Ordinal 1: the message handler; ordinal 2: the callback handler.
struct Owner : cSubclassOwner {
  std::function<void(bool, bool&, LRESULT&, HWND, UINT, LONG_PTR&)> onMessage;
  std::function<void(std::span<const UINT_PTR>, LRESULT&)> onCallback;

  std::span<const cOwnerMethod> zMethods() const override {
    static constexpr cOwnerMethod methods[] = {
        {nullptr,
         [](cSubclassOwner& o, std::span<const UINT_PTR> args, LRESULT& result) {
           auto& self = static_cast<Owner&>(o);
           if (self.onCallback) self.onCallback(args, result);
         }},
        {[](cSubclassOwner& o, bool before, bool& handled, LRESULT& result, HWND hWnd, UINT uMsg,
            WPARAM, LPARAM, LONG_PTR& user) {
           Step(before ? "before" : "after", uMsg);
           auto& self = static_cast<Owner&>(o);
           if (self.onMessage) self.onMessage(before, handled, result, hWnd, uMsg, user);
         },
         nullptr}};
    return methods;
  }
};

class Engine : public ::testing::Test {
 protected:
  void SetUp() override { g_trace.clear(); }
  void TearDown() override {
    if (IsWindow(hWnd)) DestroyWindow(hWnd);
  }
  LONG_PTR ProcOf() const { return GetWindowLongPtrW(hWnd, GWLP_WNDPROC); }

  ReportLog log;
  Owner owner;
  cSubclassEngine engine{owner, L"cSystray"};
  HWND hWnd = NewWindow();
  const std::size_t baseline = cSubclassEngine::zRecordsInUse();
};

TEST_F(Engine, RefusesWindowsItCannotSubclassAndSaysWhy) {
  HWND gone = NewWindow();
  DestroyWindow(gone);
  EXPECT_FALSE(engine.ssc_Subclass(gone));
  EXPECT_FALSE(engine.ssc_Subclass(GetDesktopWindow()));  // the shell's, not ours
  EXPECT_FALSE(engine.ssc_Subclass(hWnd, 0, 3));           // no handler there
  EXPECT_FALSE(engine.ssc_Subclass(hWnd, 0, 2));           // a callback, not a message handler
  EXPECT_TRUE(engine.ssc_Subclass(hWnd));
  EXPECT_FALSE(engine.ssc_Subclass(hWnd));
  EXPECT_THAT(log.Prompts(), ::testing::ElementsAre(
                                 L"Invalid window handle.",
                                 L"Window handle belongs to another process.",
                                 L"Callback method not found.", L"Callback method not found.",
                                 L"Window handle is already subclassed."));
  EXPECT_EQ(log.reports[0].title, L"Error in cSystray.ssc_Subclass");
  EXPECT_EQ(log.reports[0].logLine, L"cSystray.ssc_Subclass: Invalid window handle");
  EXPECT_EQ(cSubclassEngine::zRecordsInUse(), baseline + 1);  // only the one that worked
}

TEST_F(Engine, HandlersRunAroundTheWindowsOwnProcedureForWatchedMessagesOnly) {
  ASSERT_TRUE(engine.ssc_Subclass(hWnd, 40));
  engine.ssc_WatchMsg(hWnd, WM_APP, WATCH_BOTH);
  engine.ssc_WatchMsg(hWnd, WM_APP + 1, WATCH_AFTER);
  engine.ssc_WatchMsg(hWnd, WM_APP + 2, WATCH_BEFORE);
  engine.ssc_WatchMsg(hWnd, WM_APP + 3, WATCH_AFTER);
  engine.ssc_UnwatchMsg(hWnd, WM_APP + 3, WATCH_AFTER);
  owner.onMessage = [&](bool before, bool& handled, LRESULT& result, HWND h, UINT m,
                        LONG_PTR& user) {
    if (!before && m == WM_APP + 1) result += user++;  // the user value lives in the record
    if (before && m == WM_APP + 2) {
      result = engine.ssc_CallPrevious(h, m, 0, 0) + 1000;
      handled = true;
    }
  };
  EXPECT_EQ(SendMessageW(hWnd, WM_APP, 0, 0), 100);
  EXPECT_EQ(SendMessageW(hWnd, WM_APP + 1, 0, 0), 101 + 40);
  EXPECT_EQ(SendMessageW(hWnd, WM_APP + 2, 0, 0), 1102);
  EXPECT_EQ(SendMessageW(hWnd, WM_APP + 3, 0, 0), 103);
  SendMessageW(hWnd, WM_NULL, 0, 0);  // the place WM_APP + 3 left free watches nothing
  EXPECT_THAT(g_trace, ::testing::ElementsAre("before 8000", "own 8000", "after 8000", "own 8001",
                                              "after 8001", "before 8002", "own 8002",
                                              "own 8003"));
  EXPECT_EQ(engine.ssc_UserValue(hWnd), 41);
  engine.ssc_UserValue(hWnd, 7);
  EXPECT_EQ(SendMessageW(hWnd, WM_APP + 1, 0, 0), 101 + 7);
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(Engine, AHandledMessageSkipsTheWindowButItsDestructionStillReachesIt) {
  ASSERT_TRUE(engine.ssc_Subclass(hWnd));
  engine.ssc_WatchMsg(hWnd, WM_APP, WATCH_BOTH);
  engine.ssc_WatchMsg(hWnd, WM_DESTROY, WATCH_BOTH);
  owner.onMessage = [](bool before, bool& handled, LRESULT& result, HWND, UINT, LONG_PTR&) {
    if (!before) return;
    handled = true;
    result = 77;
  };
  EXPECT_EQ(SendMessageW(hWnd, WM_APP, 0, 0), 77);
  DestroyWindow(hWnd);
  // No after-handler for the destruction: the record was released right behind the window's
  // own procedure.
  EXPECT_THAT(g_trace, ::testing::ElementsAre("before 8000", "before 0002", "own 0002"));
  EXPECT_EQ(cSubclassEngine::zRecordsInUse(), baseline);
  engine.ssc_WatchMsg(hWnd, WM_APP, WATCH_AFTER);  // its key stays, but nothing is behind it
  engine.ssc_StopAll();
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(Engine, StopOutsideAnyMessageGivesTheWindowItsProcedureBackAtOnce) {
  const LONG_PTR own = ProcOf();
  ASSERT_TRUE(engine.ssc_Subclass(hWnd, 0, 1, nullptr, true));
  engine.ssc_WatchMsg(hWnd, ALL_MESSAGES, WATCH_BOTH);
  EXPECT_NE(ProcOf(), own);
  engine.ssc_Stop(hWnd);
  EXPECT_EQ(ProcOf(), own);
  EXPECT_EQ(cSubclassEngine::zRecordsInUse(), baseline);
  g_trace.clear();
  SendMessageW(hWnd, WM_APP, 0, 0);
  EXPECT_THAT(g_trace, ::testing::ElementsAre("own 8000"));
  engine.ssc_Stop(hWnd);
  EXPECT_THAT(log.Prompts(), ::testing::ElementsAre(
                                 L"Thunk type for ID of " +
                                 std::to_wstring(reinterpret_cast<INT_PTR>(hWnd)) +
                                 L" does not exist."));
}

TEST_F(Engine, StopFromInsideAMessageWaitsForTheOutermostInvocation) {
  const LONG_PTR own = ProcOf();
  ASSERT_TRUE(engine.ssc_Subclass(hWnd));
  engine.ssc_WatchMsg(hWnd, WM_APP, WATCH_AFTER);
  engine.ssc_WatchMsg(hWnd, WM_APP + 1, WATCH_BEFORE);
  LONG_PTR procInside = 0;
  owner.onMessage = [&](bool, bool&, LRESULT&, HWND h, UINT m, LONG_PTR&) {
    if (m == WM_APP) {
      SendMessageW(h, WM_APP + 1, 0, 0);  // one level deeper
    } else {
      engine.ssc_Stop(h);
      procInside = GetWindowLongPtrW(h, GWLP_WNDPROC);
    }
  };
  // The outermost invocation has already called the window's procedure when the stop comes
  // (the double-click case); the release happens as it returns.
  EXPECT_EQ(SendMessageW(hWnd, WM_APP, 0, 0), 100);
  EXPECT_NE(procInside, own);
  EXPECT_EQ(ProcOf(), own);
  EXPECT_EQ(cSubclassEngine::zRecordsInUse(), baseline);
  EXPECT_THAT(g_trace, ::testing::ElementsAre("own 8000", "after 8000", "before 8001", "own 8001"));
}

TEST_F(Engine, TwoEnginesOnOneWindowCanStopInEitherOrder) {
  Owner secondOwner;
  cSubclassEngine second(secondOwner, L"cSystray");
  ASSERT_TRUE(engine.ssc_Subclass(hWnd));
  ASSERT_TRUE(second.ssc_Subclass(hWnd));
  engine.ssc_WatchMsg(hWnd, WM_APP, WATCH_AFTER);
  second.ssc_WatchMsg(hWnd, WM_APP, WATCH_AFTER);
  engine.ssc_Stop(hWnd);  // the one underneath first: the one on top must keep working
  EXPECT_EQ(SendMessageW(hWnd, WM_APP, 0, 0), 100);
  second.ssc_Stop(hWnd);
  SendMessageW(hWnd, WM_APP + 1, 0, 0);
  EXPECT_THAT(g_trace, ::testing::ElementsAre("own 8000", "after 8000", "own 8001"));
  DestroyWindow(hWnd);
  EXPECT_EQ(cSubclassEngine::zRecordsInUse(), baseline);
}

TEST_F(Engine, MessageTablesHoldEachMessageOnceAndRefuseTheThirtyThird) {
  MessageTable t;
  engine.zAddMsg(0x200, t);
  engine.zAddMsg(0x200, t);
  engine.zAddMsg(0x201, t);
  engine.zDelMsg(0x200, t);
  engine.zAddMsg(0x201, t);  // already there, behind the freed place
  EXPECT_EQ(t.count, 2);
  EXPECT_EQ(t.slots[1], 0u);
  engine.zAddMsg(0x202, t);  // takes the freed place
  EXPECT_EQ(t.count, 2);
  EXPECT_EQ(t.slots[1], 0x202u);
  for (UINT m = 0x300; t.count < MSG_ENTRIES; ++m) engine.zAddMsg(m, t);
  const MessageTable full = t;
  engine.zAddMsg(0x400, t);
  engine.zAddMsg(0x202, t);  // present, yet the full table still reports
  EXPECT_EQ(t.count, full.count);
  EXPECT_EQ(t.slots, full.slots);
  engine.zDelMsg(0x200, t);
  engine.zAddMsg(ALL_MESSAGES, t);
  engine.zAddMsg(0x203, t);  // watching everything already
  EXPECT_EQ(t.count, -1);
  engine.zDelMsg(0x203, t);
  engine.zDelMsg(ALL_MESSAGES, t);
  EXPECT_EQ(t.count, 0);
  const std::wstring overflow =
      L"Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
      L"ALL_MESSAGES instead of specific message values.";
  EXPECT_THAT(log.TitlesAndPrompts(),
              ::testing::ElementsAre(
                  std::pair{L"Error in cSystray.zAddMsg", overflow},
                  std::pair{L"Error in cSystray.zAddMsg", overflow},
                  std::pair{L"Error in cSystray.zDelMsg", L"Message &H200 not found in table."},
                  std::pair{L"Error in cSystray.zDelMsg", L"Message &H203 not found in table."}));
}

TEST_F(Engine, CallbackEntryPointsForwardTheirArgumentsAndResult) {
  std::vector<UINT_PTR> got;
  owner.onCallback = [&](std::span<const UINT_PTR> args, LRESULT& result) {
    got.assign(args.begin(), args.end());
    result = 99;
  };
  const CallbackEntryPoint entry = engine.scb_SetCallbackAddr(4, 2);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(engine.scb_SetCallbackAddr(4, 2), entry);
  EXPECT_EQ(engine.scb_SetCallbackAddr(1, 2), entry);  // the arguments are not compared
  EXPECT_EQ(entry(1, 2, 3, 4), 99);
  EXPECT_THAT(got, ::testing::ElementsAre(1u, 2u, 3u, 4u));

  got.clear();
  SetTimer(hWnd, 5, 1, reinterpret_cast<TIMERPROC>(reinterpret_cast<void (*)()>(entry)));
  PumpUntil([&] { return !got.empty(); });
  KillTimer(hWnd, 5);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], reinterpret_cast<UINT_PTR>(hWnd));
  EXPECT_EQ(got[1], static_cast<UINT_PTR>(WM_TIMER));
  EXPECT_EQ(got[2], 5u);

  engine.scb_FreeAllCallbacks();
  got.clear();
  EXPECT_EQ(entry(1, 2, 3, 4), 0);  // a stale pointer calls nobody
  EXPECT_TRUE(got.empty());
  const CallbackEntryPoint fresh = engine.scb_SetCallbackAddr(2, 2);
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh, entry);
  EXPECT_EQ(fresh(7, 8, 9, 10), 99);
  EXPECT_THAT(got, ::testing::ElementsAre(7u, 8u));
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(Engine, MisuseIsReportedUnderTheRoutineThatFoundIt) {
  engine.ssc_WatchMsg(hWnd, WM_APP, WATCH_AFTER);  // nothing subclassed yet
  EXPECT_EQ(engine.ssc_CallPrevious(hWnd, WM_APP, 0, 0), 0);
  EXPECT_EQ(engine.scb_SetCallbackAddr(-1, 2), nullptr);
  EXPECT_EQ(engine.scb_SetCallbackAddr(MAX_CALLBACK_PARAMS + 1, 2), nullptr);
  EXPECT_EQ(engine.scb_SetCallbackAddr(4, 1), nullptr);  // ordinal 1 is the message handler
  engine.scb_FreeCallback(7);
  EXPECT_EQ(engine.zMap_VFunction(1, cSubclassEngine::kUnusedKind), nullptr);
  EXPECT_EQ(engine.zMap_VFunction(1, 3), nullptr);
  const std::wstring map = L"Error in cSystray.zMap_VFunction";
  const std::wstring scb = L"Error in cSystray.scb_SetCallbackAddr";
  EXPECT_THAT(log.TitlesAndPrompts(),
              ::testing::ElementsAre(std::pair{map, L"Thunk hasn't been initialized."},
                                     std::pair{map, L"Thunk hasn't been initialized."},
                                     std::pair{scb, L"Invalid Parameter count."},
                                     std::pair{scb, L"Invalid Parameter count."},
                                     std::pair{scb, L"Callback address not found.."},
                                     std::pair{map, L"Thunk type for ID of 7 does not exist."},
                                     std::pair{map, L"Thunk hasn't been initialized."},
                                     std::pair{std::wstring(L"Error in cSystray.zMap_Vfunction"),
                                               L"Invalid thunk type passed."}));
}

std::vector<std::wstring> g_boxTexts;

TEST(EngineReport, WithoutASinkTheUserGetsAModalBox) {
  // The box runs its own message loop; a thread timer inside it reads and closes the box.
  SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", L"Error in cSystray.zDelMsg");
    if (box == nullptr) return;
    KillTimer(nullptr, id);
    EnumChildWindows(
        box,
        [](HWND child, LPARAM) -> BOOL {
          wchar_t text[256] = {};
          GetWindowTextW(child, text, 256);
          g_boxTexts.emplace_back(text);
          return TRUE;
        },
        0);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  Owner owner;
  cSubclassEngine engine(owner, L"cSystray");
  MessageTable table;
  const EngineReportSink saved = SetEngineReportSink({});
  engine.zDelMsg(0x200, table);  // returns when the box is closed
  SetEngineReportSink(saved);
  EXPECT_THAT(g_boxTexts, ::testing::Contains(L"Message &H200 not found in table."));
}

}  // namespace
