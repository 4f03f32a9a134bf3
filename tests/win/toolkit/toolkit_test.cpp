// The toolkit's guarantees, on real windows: what the forms' code relies on.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Control.h"
#include "toolkit/Form.h"
#include "toolkit/Menu.h"
#include "toolkit/Timer.h"

using namespace kelvara;
using namespace kelvara::testing;
using toolkit::ControlArgs;

namespace {

// A form with a text box, a second text box and two buttons, key preview optional.
struct EditForm {
  TestForm form;
  toolkit::TextBox text, other;
  toolkit::Button ok, cancel;
  std::vector<std::wstring> changes;  // the text as the change handler saw it

  explicit EditForm(bool keyPreview = false, bool defaultAndCancel = false) {
    form.build = [=, this](TestForm& f, HWND owner) {
      if (!f.CreateFormWindow(TestForm::Args(keyPreview), owner)) return false;
      bool ok1 = text.Create(f, {.left = 10, .top = 10, .width = 200, .height = 20}) &&
                 other.Create(f, {.left = 10, .top = 40, .width = 200, .height = 20}) &&
                 ok.Create(f, {.left = 10, .top = 100, .width = 80, .height = 25, .text = L"OK"}) &&
                 cancel.Create(f, {.left = 100, .top = 100, .width = 80, .height = 25,
                                   .text = L"Cancel"});
      if (defaultAndCancel) {
        f.SetDefaultButton(&ok);
        f.SetCancelButton(&cancel);
      }
      return ok1;
    };
    text.onChange = [this] { changes.push_back(text.Text()); };
  }
};

class ToolkitTest : public ::testing::Test {
 protected:
  void TearDown() override {
    PumpFor(20);
    TakeQuitMessage();
  }
};

// ---- Text boxes --------------------------------------------------------------------------

TEST_F(ToolkitTest, AssigningTextRunsTheChangeHandlerBeforeReturning) {
  EditForm f;
  ASSERT_TRUE(f.form.Show());
  f.text.SetText(L"apple");
  // No message pumping in between: the handler has already seen the new text.
  ASSERT_EQ(f.changes.size(), 1u);
  EXPECT_EQ(f.changes[0], L"apple");
  // Every assignment is one change, also of the same text.
  f.text.SetText(L"apple");
  EXPECT_EQ(f.changes.size(), 2u);
  // After the assignment the caret stands at the start, nothing selected, whether or not the
  // text was new.
  EXPECT_EQ(f.text.SelStart(), 0);
  EXPECT_EQ(f.text.SelLength(), 0);
  f.text.SetFocus();
  for (const wchar_t* next : {L"apple", L"pineapple"}) {
    f.text.SetSelStart(3);
    f.text.SetSelLength(2);
    f.text.SetText(next);
    EXPECT_EQ(f.text.SelStart(), 0) << next;
    EXPECT_EQ(f.text.SelLength(), 0) << next;
  }
}

TEST_F(ToolkitTest, TypedCharactersRunTheChangeHandlerOncePerCharacter) {
  EditForm f;
  ASSERT_TRUE(f.form.Show());
  SendMessageW(f.text.hWnd(), WM_CHAR, L'a', 1);
  SendMessageW(f.text.hWnd(), WM_CHAR, L'b', 1);
  EXPECT_EQ(f.changes, (std::vector<std::wstring>{L"a", L"ab"}));
}

TEST_F(ToolkitTest, KeyPressHandlerReplacesOrDropsTheCharacter) {
  EditForm f;
  ASSERT_TRUE(f.form.Show());
  f.text.onKeyPress = [](wchar_t& ch) {
    if (ch == L'x') ch = L'y';          // replaced
    else if (ch == L'5') ch = 0;        // dropped
  };
  for (wchar_t ch : {L'a', L'x', L'5', L'b'}) SendMessageW(f.text.hWnd(), WM_CHAR, ch, 1);
  EXPECT_EQ(f.text.Text(), L"ayb");
  // A dropped key changes nothing, so it runs no change handler either.
  EXPECT_EQ(f.changes.size(), 3u);
}

TEST_F(ToolkitTest, SelectionStartSetsTheCaretAndLengthKeepsTheStart) {
  EditForm f;
  ASSERT_TRUE(f.form.Show());
  f.text.SetText(L"abcdef");
  f.text.SetSelStart(2);
  EXPECT_EQ(f.text.SelStart(), 2);
  EXPECT_EQ(f.text.SelLength(), 0);
  f.text.SetSelLength(3);
  EXPECT_EQ(f.text.SelStart(), 2);
  EXPECT_EQ(f.text.SelLength(), 3);
  // A length past the end stops at the end; a start past the end goes to the end.
  f.text.SetSelLength(100);
  EXPECT_EQ(f.text.SelLength(), 4);
  f.text.SetSelStart(100);
  EXPECT_EQ(f.text.SelStart(), 6);
}

TEST_F(ToolkitTest, GotFocusRunsWhenTheBoxTakesTheFocus) {
  EditForm f;
  int got = 0;
  f.text.onGotFocus = [&] { ++got; };
  ASSERT_TRUE(f.form.Show());  // the first control in tab order takes the focus
  EXPECT_EQ(got, 1);
  f.other.SetFocus();
  f.text.SetFocus();
  EXPECT_EQ(got, 2);
}

// ---- Keyboard ----------------------------------------------------------------------------

TEST_F(ToolkitTest, KeyPreviewSeesEveryKeyFirstAndMaySwallowIt) {
  EditForm f(/*keyPreview=*/true);
  std::vector<int> seen;
  bool swallow = false;
  f.form.onKeyDown = [&](int& key, int) {
    seen.push_back(key);
    if (swallow) key = 0;
  };
  ASSERT_TRUE(f.form.Show());
  f.text.SetFocus();
  PressKey(f.text.hWnd(), 'A');
  EXPECT_EQ(seen, std::vector<int>{'A'});
  EXPECT_EQ(f.text.Text(), L"a");  // passed on: translated into a character for the box
  swallow = true;
  PressKey(f.text.hWnd(), 'B');
  EXPECT_EQ(seen, (std::vector<int>{'A', 'B'}));
  EXPECT_EQ(f.text.Text(), L"a");  // swallowed: the box never saw it
}

TEST_F(ToolkitTest, WithoutKeyPreviewTheFormDoesNotSeeTheControlsKeys) {
  EditForm f(/*keyPreview=*/false);
  int seen = 0;
  f.form.onKeyDown = [&](int&, int) { ++seen; };
  ASSERT_TRUE(f.form.Show());
  f.text.SetFocus();
  PressKey(f.text.hWnd(), 'A');
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(f.text.Text(), L"a");
}

TEST_F(ToolkitTest, TabMovesTheFocusInCreationOrderAndWrapsAround) {
  EditForm f;
  ASSERT_TRUE(f.form.Show());
  f.text.SetFocus();
  PressKey(f.text.hWnd(), VK_TAB);
  EXPECT_TRUE(f.other.HasFocus());
  PressKey(f.other.hWnd(), VK_TAB);
  EXPECT_TRUE(f.ok.HasFocus());
  f.ok.SetEnabled(false);  // a disabled control is passed over
  f.other.SetFocus();
  PressKey(f.other.hWnd(), VK_TAB);
  EXPECT_TRUE(f.cancel.HasFocus());
  PressKey(f.cancel.hWnd(), VK_TAB);
  EXPECT_TRUE(f.text.HasFocus());
}

LRESULT CALLBACK RecordUiStateChanges(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR seen) {
  if (msg == WM_CHANGEUISTATE) reinterpret_cast<std::vector<WPARAM>*>(seen)->push_back(wParam);
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

bool FocusHidden(HWND hwnd) {
  return (SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
}

TEST_F(ToolkitTest, TabShowsTheFocusRectangleAWindowActivatedByTheMouseHides) {
  EditForm f;
  ASSERT_TRUE(f.form.Show());
  std::vector<WPARAM> changes;
  ASSERT_TRUE(SetWindowSubclass(f.form.hWnd(), &RecordUiStateChanges, 1,
                                reinterpret_cast<DWORD_PTR>(&changes)));
  f.text.SetFocus();
  // What Windows does to a window the mouse activated, with keyboard cues off (its default).
  // Wine keeps no such state, so there only the message the form sends can be seen.
  SendMessageW(f.form.hWnd(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
  const bool stateKept = FocusHidden(f.form.hWnd());
  changes.clear();

  PressKey(f.text.hWnd(), 'A');
  EXPECT_TRUE(changes.empty()) << "typing is no navigation";
  PressKey(f.text.hWnd(), VK_TAB);
  EXPECT_TRUE(f.other.HasFocus());
  EXPECT_EQ(changes, std::vector<WPARAM>{MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS)});
  if (stateKept) {
    EXPECT_FALSE(FocusHidden(f.form.hWnd()));
    EXPECT_FALSE(FocusHidden(f.other.hWnd())) << "the control draws its focus rectangle";
  }
  RemoveWindowSubclass(f.form.hWnd(), &RecordUiStateChanges, 1);
}

TEST_F(ToolkitTest, EnterPressesTheDefaultButtonUnlessAnotherButtonHasTheFocus) {
  EditForm f(false, /*defaultAndCancel=*/true);
  int oks = 0, cancels = 0;
  f.ok.onClick = [&] { ++oks; };
  f.cancel.onClick = [&] { ++cancels; };
  ASSERT_TRUE(f.form.Show());
  EXPECT_TRUE(f.ok.IsDefault());
  f.text.SetFocus();
  PressKey(f.text.hWnd(), VK_RETURN);
  EXPECT_EQ(oks, 1);
  EXPECT_EQ(f.text.Text(), L"");  // the box never got the Enter
  f.cancel.SetFocus();
  PressKey(f.cancel.hWnd(), VK_RETURN);
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(oks, 1);
  // The focused button shows itself as the one Enter presses.
  EXPECT_TRUE(f.cancel.IsDefault());
  EXPECT_FALSE(f.ok.IsDefault());
}

TEST_F(ToolkitTest, EscapePressesTheCancelButtonWhereverTheFocusIs) {
  EditForm f(false, /*defaultAndCancel=*/true);
  int cancels = 0;
  f.cancel.onClick = [&] { ++cancels; };
  ASSERT_TRUE(f.form.Show());
  f.text.SetFocus();
  PressKey(f.text.hWnd(), VK_ESCAPE);
  f.ok.SetFocus();
  PressKey(f.ok.hWnd(), VK_ESCAPE);
  EXPECT_EQ(cancels, 2);
}

TEST_F(ToolkitTest, WithoutADefaultButtonEnterReachesTheControlAsACharacter) {
  EditForm f;
  std::vector<wchar_t> typed;
  f.text.onKeyPress = [&](wchar_t& ch) { typed.push_back(ch); };
  int clicks = 0;
  f.ok.onClick = [&] { ++clicks; };
  ASSERT_TRUE(f.form.Show());
  f.text.SetFocus();
  PressKey(f.text.hWnd(), VK_RETURN);
  EXPECT_EQ(typed, std::vector<wchar_t>{L'\r'});
  EXPECT_EQ(clicks, 0);
}

// ---- Form life ---------------------------------------------------------------------------

TEST_F(ToolkitTest, LoadRunsBeforeTheFirstShowCompletesAndARefusedLoadLeavesNoWindow) {
  TestForm form;
  bool visibleDuringLoad = true;
  form.onLoad = [&] {
    visibleDuringLoad = IsWindowVisible(form.hWnd()) != 0;
    return true;
  };
  ASSERT_TRUE(form.Show());
  EXPECT_FALSE(visibleDuringLoad);
  EXPECT_TRUE(form.Visible());

  TestForm refused;
  refused.onLoad = [] { return false; };
  EXPECT_FALSE(refused.Show());
  EXPECT_FALSE(refused.IsLoaded());
}

TEST_F(ToolkitTest, UnloadRunsTheHandlerDestroysTheWindowAndTheLastFormEndsTheProgram) {
  TakeQuitMessage();
  TestForm a, b;
  int unloads = 0;
  a.onUnload = [&](bool&) { ++unloads; };
  ASSERT_TRUE(a.Show());
  ASSERT_TRUE(b.Show());
  HWND ha = a.hWnd();
  a.Unload();
  EXPECT_EQ(unloads, 1);
  EXPECT_FALSE(IsWindow(ha));
  EXPECT_FALSE(a.IsLoaded());
  EXPECT_FALSE(TakeQuitMessage());  // b is still there
  // The close box takes the same path.
  SendMessageW(b.hWnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(b.IsLoaded());
  int code = -1;
  EXPECT_TRUE(TakeQuitMessage(&code));
  EXPECT_EQ(code, 0);
}

TEST_F(ToolkitTest, ACancelledUnloadKeepsTheWindow) {
  TestForm form;
  form.onUnload = [](bool& cancel) { cancel = true; };
  ASSERT_TRUE(form.Show());
  form.Unload();
  EXPECT_TRUE(form.IsLoaded());
  form.onUnload = nullptr;
  form.Unload();
  EXPECT_FALSE(form.IsLoaded());
}

TestForm* g_modalToClose = nullptr;

TEST_F(ToolkitTest, ModalShowDisablesTheOtherFormsAndReturnsAfterUnload) {
  TestForm owner;
  ASSERT_TRUE(owner.Show());
  TestForm dialog;
  int unloads = 0;
  bool ownerEnabledInside = true;
  HWND ownerOfDialog = nullptr;
  dialog.onUnload = [&](bool&) {
    ++unloads;
    ownerEnabledInside = IsWindowEnabled(owner.hWnd()) != 0;
    ownerOfDialog = GetWindow(dialog.hWnd(), GW_OWNER);
  };
  // The dialog is unloaded from inside its own message loop, as its buttons do it.
  g_modalToClose = &dialog;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    if (g_modalToClose && g_modalToClose->IsLoaded()) g_modalToClose->Unload();
  });
  EXPECT_TRUE(dialog.ShowModal(&owner));
  KillTimer(nullptr, timer);
  g_modalToClose = nullptr;
  EXPECT_EQ(unloads, 1);
  EXPECT_FALSE(dialog.IsLoaded());
  EXPECT_FALSE(ownerEnabledInside);
  EXPECT_EQ(ownerOfDialog, owner.hWnd());
  EXPECT_TRUE(IsWindowEnabled(owner.hWnd()));
  EXPECT_FALSE(TakeQuitMessage());  // the owner is still loaded
}

TEST_F(ToolkitTest, ChangingTheWindowStateRunsTheResizeHandler) {
  TestForm form;
  std::vector<toolkit::WindowState> states;
  form.onResize = [&] { states.push_back(form.GetWindowState()); };
  ASSERT_TRUE(form.Show());
  ASSERT_FALSE(states.empty());  // the first display lays out
  EXPECT_EQ(states.back(), toolkit::WindowState::Normal);
  states.clear();
  form.SetWindowState(toolkit::WindowState::Minimized);
  ASSERT_FALSE(states.empty());
  EXPECT_EQ(states.back(), toolkit::WindowState::Minimized);
  states.clear();
  form.SetWindowState(toolkit::WindowState::Maximized);
  ASSERT_FALSE(states.empty());
  EXPECT_EQ(states.back(), toolkit::WindowState::Maximized);
  states.clear();
  form.SetWindowState(toolkit::WindowState::Normal);
  ASSERT_FALSE(states.empty());
  EXPECT_EQ(states.back(), toolkit::WindowState::Normal);
  // A new size is a resize too.
  states.clear();
  SetWindowPos(form.hWnd(), nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_FALSE(states.empty());
}

TEST_F(ToolkitTest, TwipsFormsMeasureTheirClientAreaInTwips) {
  TestForm form;
  form.build = [](TestForm& f, HWND owner) {
    toolkit::FormArgs a = TestForm::Args();
    a.scale = toolkit::ScaleUnit::Twips;
    return f.CreateFormWindow(a, owner);
  };
  ASSERT_TRUE(form.Load());
  EXPECT_EQ(form.ClientWidth(), 300);
  EXPECT_FLOAT_EQ(form.ScaleWidth(), 4500.0f);
  EXPECT_FLOAT_EQ(form.ScaleHeight(), 3000.0f);
}

// ---- Timer and menus ---------------------------------------------------------------------

TEST_F(ToolkitTest, TimerTicksOnTheUiThreadOnlyWhileEnabled) {
  TestForm form;
  ASSERT_TRUE(form.Show());
  toolkit::Timer timer;
  timer.Attach(form, 2);
  int ticks = 0;
  DWORD thread = 0;
  timer.onTimer = [&] {
    ++ticks;
    thread = GetCurrentThreadId();
  };
  PumpFor(60);
  EXPECT_EQ(ticks, 0);  // attached disabled
  timer.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }));
  EXPECT_EQ(thread, GetCurrentThreadId());
  timer.SetEnabled(false);
  PumpFor(30);
  const int stopped = ticks;
  PumpFor(80);
  EXPECT_EQ(ticks, stopped);
}

TEST_F(ToolkitTest, DoEventsReturnsWhileATimerSlowerThanItsIntervalStaysDue) {
  TestForm form;
  ASSERT_TRUE(form.Show());
  toolkit::Timer timer;
  timer.Attach(form, 2);
  int ticks = 0;
  timer.onTimer = [&] {
    Sleep(25);  // longer than any interval the platform gives: due again on return
    // Bound the test should DoEvents never return on its own.
    if (++ticks >= 20) timer.SetEnabled(false);
  };
  timer.SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return ticks >= 1; }));
  const int before = ticks;
  toolkit::Application::DoEvents();
  EXPECT_LE(ticks - before, 1);
  EXPECT_TRUE(timer.Enabled());
  timer.SetEnabled(false);
}

struct TrayLikeMenu {
  toolkit::Menu menu;
  toolkit::MenuItem* hidden;
  toolkit::MenuItem* sub;
  toolkit::MenuItem* checked;
  toolkit::MenuItem* greyed;
  toolkit::MenuItem* last;
  TrayLikeMenu() {
    hidden = &menu.Add(nullptr, L"Hidden", L"hidden");
    hidden->SetVisible(false);
    sub = &menu.Add(nullptr, L"Sub", L"sub");
    checked = &menu.Add(sub, L"Checked", L"checked");
    checked->SetChecked(true);
    menu.Add(sub, L"Sep", L"-");
    greyed = &menu.Add(sub, L"Greyed", L"greyed");
    greyed->SetEnabled(false);
    last = &menu.Add(nullptr, L"Last", L"last");
  }
};

TEST_F(ToolkitTest, BuiltMenuShowsVisibleEntriesWithTheirStates) {
  TrayLikeMenu m;
  toolkit::UniqueHmenu popup = m.menu.BuildPopup();
  ASSERT_TRUE(popup);
  ASSERT_EQ(GetMenuItemCount(popup.get()), 2);  // the hidden entry is left out
  HMENU sub = GetSubMenu(popup.get(), 0);
  ASSERT_NE(sub, nullptr);
  ASSERT_EQ(GetMenuItemCount(sub), 3);
  EXPECT_TRUE(GetMenuState(sub, 0, MF_BYPOSITION) & MF_CHECKED);
  EXPECT_TRUE(GetMenuState(sub, 1, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_TRUE(GetMenuState(sub, 2, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_EQ(GetMenuItemID(popup.get(), 1), m.menu.CommandId(*m.last));
  // States change between showings.
  m.checked->SetChecked(false);
  popup = m.menu.BuildPopup();
  EXPECT_FALSE(GetMenuState(GetSubMenu(popup.get(), 0), 0, MF_BYPOSITION) & MF_CHECKED);
}

TEST_F(ToolkitTest, PopupMenuReturnsAfterTheChosenEntrysHandlerRan) {
  TestForm form;
  ASSERT_TRUE(form.Show());
  TrayLikeMenu m;
  int lastClicks = 0, subClicks = 0;
  m.last->onClick = [&] { ++lastClicks; };
  m.checked->onClick = [&] { ++subClicks; };
  // The menu's own loop reads these keys: down twice (sub, last), then Enter.
  for (UINT vk : {VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageW(form.hWnd(), WM_KEYDOWN, vk, 0);
  form.PopupMenu(m.menu);
  EXPECT_EQ(lastClicks, 1);
  EXPECT_EQ(subClicks, 0);
  // Closed without a choice: no handler runs.
  PostMessageW(form.hWnd(), WM_KEYDOWN, VK_ESCAPE, 0);
  form.PopupMenu(m.menu);
  EXPECT_EQ(lastClicks, 1);
}

TEST_F(ToolkitTest, DispatchRunsOnlyTheEntryWithThatId) {
  TrayLikeMenu m;
  int clicks = 0;
  m.greyed->onClick = [&] { ++clicks; };
  EXPECT_TRUE(m.menu.Dispatch(m.menu.CommandId(*m.greyed)));
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(m.menu.Dispatch(0));      // nothing chosen
  EXPECT_FALSE(m.menu.Dispatch(9999));   // no such entry
  EXPECT_FALSE(m.menu.Dispatch(m.menu.CommandId(*m.last)));  // no handler
  EXPECT_EQ(clicks, 1);
}

}  // namespace
