// Every design value, read back from the real windows: captions, geometry, fonts, styles, tab
// order, the tray menu and the timer.
#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "../toolkit/TestSupport.h"
#include "forms/Design.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmSettings.h"
#include "frmMain.h"

using namespace kelvara;
using namespace kelvara::testing;

namespace {

RECT ClientRectOf(const toolkit::Control& c) {
  return RECT{c.Left(), c.Top(), c.Left() + c.Width(), c.Top() + c.Height()};
}

LOGFONTW FontOf(HWND hwnd) {
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  return lf;
}

LONG StyleOf(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE); }
LONG ExStyleOf(HWND hwnd) { return GetWindowLongW(hwnd, GWL_EXSTYLE); }

std::wstring TextOf(HWND hwnd) {
  wchar_t buf[512] = {};
  GetWindowTextW(hwnd, buf, 512);
  return buf;
}

SIZE OuterSize(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return {r.right - r.left, r.bottom - r.top};
}

void ExpectCentredOn(HWND hwnd, RECT area) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  EXPECT_LE(std::abs((r.left + r.right) - (area.left + area.right)), 1);
  EXPECT_LE(std::abs((r.top + r.bottom) - (area.top + area.bottom)), 1);
}

RECT Screen() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

class FormsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    PumpFor(20);
    TakeQuitMessage();
  }
};

// The main window as designed: made, not loaded, so no layout has run yet.
struct DesignedMain {
  frmMain form{frmMain::Startup{L"", {}}};
  DesignedMain() { EXPECT_TRUE(form.Create()); }
};

// ---- frmMain -----------------------------------------------------------------------------

TEST_F(FormsTest, MainWindowIsTheDesignSizeCentredOnTheScreen) {
  DesignedMain m;
  HWND w = m.form.hWnd();
  EXPECT_EQ(TextOf(w), L"Kelvara Dictionary");
  const LONG style = StyleOf(w);
  for (LONG bit : {WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX})
    EXPECT_TRUE(style & bit) << std::hex << bit;
  // The outer size and the client area are both designed; the frame decides which one is
  // exact, and neither is ever smaller than designed.
  const SIZE outer = OuterSize(w);
  const int cw = m.form.ClientWidth(), ch = m.form.ClientHeight();
  EXPECT_GE(outer.cx, 385);
  EXPECT_GE(outer.cy, 300);
  EXPECT_GE(cw, 377);
  EXPECT_GE(ch, 266);
  EXPECT_TRUE(outer.cx == 385 || cw == 377);
  EXPECT_TRUE(outer.cy == 300 || ch == 266);
  ExpectCentredOn(w, Screen());
  EXPECT_TRUE(m.form.KeyPreview());
  EXPECT_EQ(m.form.Scale(), toolkit::ScaleUnit::Pixels);
}

TEST_F(FormsTest, MainWindowControlsStandWhereDesignedBeforeTheFirstLayout) {
  DesignedMain m;
  struct Expect {
    const toolkit::Control* c;
    RECT r;
  };
  const Expect fixed[] = {
      {&m.form.txtWord, {12, 23, 252, 42}},    {&m.form.txtExp, {12, 145, 252, 213}},
      {&m.form.lstWords, {8, 72, 248, 115}},   {&m.form.Command1, {192, 232, 273, 259}},
      {&m.form.Command2, {104, 232, 185, 259}}, {&m.form.Command3, {16, 232, 97, 259}},
      {&m.form.Command4, {280, 232, 361, 259}},
  };
  for (const Expect& e : fixed) {
    const RECT r = ClientRectOf(*e.c);
    EXPECT_EQ(r.left, e.r.left) << TextOf(e.c->hWnd());
    EXPECT_EQ(r.top, e.r.top) << TextOf(e.c->hWnd());
    EXPECT_EQ(r.right, e.r.right) << TextOf(e.c->hWnd());
    EXPECT_EQ(r.bottom, e.r.bottom) << TextOf(e.c->hWnd());
  }
  // The captions size themselves to their text from their designed left and top.
  EXPECT_EQ(m.form.lblWord.Left(), 227);
  EXPECT_EQ(m.form.lblWord.Top(), 7);
  EXPECT_EQ(m.form.lblWords.Left(), 200);
  EXPECT_EQ(m.form.lblWords.Top(), 56);
  EXPECT_EQ(m.form.lblExp.Left(), 215);
  EXPECT_EQ(m.form.lblExp.Top(), 128);
  for (const toolkit::Label* l : {&m.form.lblWord, &m.form.lblWords, &m.form.lblExp}) {
    EXPECT_GT(l->Width(), 10);
    EXPECT_GE(l->Height(), 12);
    EXPECT_LE(l->Height(), 15);
  }
}

TEST_F(FormsTest, MainWindowCaptionsAreExact) {
  DesignedMain m;
  EXPECT_EQ(m.form.Command1.Text(), L"\u0628\u0633\u062A\u0646");
  EXPECT_EQ(m.form.Command2.Text(), L"...\u062F\u0631\u0628\u0627\u0631\u0647");
  EXPECT_EQ(m.form.Command3.Text(), L"\u062A\u0644\u0641\u0638");
  EXPECT_EQ(m.form.Command4.Text(), L"\u0627\u062E\u062A\u064A\u0627\u0631\u0627\u062A");
  EXPECT_EQ(m.form.lblWord.Text(), L": \u0648\u0627\u0698\u0647");
  EXPECT_EQ(m.form.lblWords.Text(), L": (\u064A\u0627\u0641\u062A\u0647 (\u0647\u0627");
  EXPECT_EQ(m.form.lblExp.Text(), L": \u062A\u0631\u062C\u0645\u0647");
  EXPECT_EQ(m.form.txtWord.Text(), L"");
  EXPECT_EQ(m.form.txtExp.Text(), L"");
  EXPECT_EQ(m.form.lstWords.ListCount(), 0);
}

TEST_F(FormsTest, MainWindowFontsAreAsDesigned) {
  DesignedMain m;
  auto expectFont = [](HWND h, const wchar_t* face, BYTE charset, LONG weight) {
    const LOGFONTW lf = FontOf(h);
    EXPECT_STREQ(lf.lfFaceName, face) << TextOf(h);
    EXPECT_EQ(lf.lfCharSet, charset) << TextOf(h);
    EXPECT_EQ(lf.lfWeight, weight) << TextOf(h);
    EXPECT_EQ(lf.lfHeight, -11) << TextOf(h);  // 8.25 points at 96 dots per inch
  };
  expectFont(m.form.txtWord.hWnd(), L"Tahoma", ANSI_CHARSET, FW_NORMAL);
  expectFont(m.form.lstWords.hWnd(), L"Verdana", ANSI_CHARSET, FW_NORMAL);
  for (const toolkit::Control* c :
       std::initializer_list<const toolkit::Control*>{&m.form.txtExp, &m.form.Command1, &m.form.Command2,
                                                      &m.form.Command3, &m.form.Command4, &m.form.lblWord,
                                                      &m.form.lblWords, &m.form.lblExp})
    expectFont(c->hWnd(), L"Tahoma", ARABIC_CHARSET, FW_NORMAL);
}

TEST_F(FormsTest, MainWindowStylesCarryTheDesignedProperties) {
  DesignedMain m;
  const LONG exp = StyleOf(m.form.txtExp.hWnd());
  EXPECT_TRUE(exp & ES_MULTILINE);
  EXPECT_TRUE(exp & WS_VSCROLL);
  EXPECT_TRUE(exp & ES_READONLY);
  EXPECT_TRUE(exp & ES_RIGHT);
  EXPECT_TRUE(ExStyleOf(m.form.txtExp.hWnd()) & WS_EX_RTLREADING);

  const LONG word = StyleOf(m.form.txtWord.hWnd());
  EXPECT_FALSE(word & ES_MULTILINE);
  EXPECT_FALSE(word & ES_READONLY);
  EXPECT_FALSE(word & ES_RIGHT);
  EXPECT_FALSE(ExStyleOf(m.form.txtWord.hWnd()) & WS_EX_RTLREADING);

  // The list: unsorted, holds no data of its own, never snaps its height to whole lines.
  const LONG list = StyleOf(m.form.lstWords.hWnd());
  EXPECT_FALSE(list & LBS_SORT);
  EXPECT_TRUE(list & LBS_NODATA);
  EXPECT_TRUE(list & LBS_NOINTEGRALHEIGHT);
  EXPECT_TRUE(list & LBS_NOTIFY);

  // Left-to-right captions, so the colon stands at the left of the Persian word.
  for (const toolkit::Label* l : {&m.form.lblWord, &m.form.lblWords, &m.form.lblExp}) {
    EXPECT_FALSE(ExStyleOf(l->hWnd()) & WS_EX_RTLREADING);
    EXPECT_FALSE(l->RightToLeft());
    EXPECT_FALSE(l->RightAligned());
  }

  EXPECT_FALSE(m.form.Command3.Enabled());
  for (const toolkit::Button* b : {&m.form.Command1, &m.form.Command2, &m.form.Command4})
    EXPECT_TRUE(b->Enabled());
  // No default and no cancel button.
  EXPECT_EQ(m.form.DefaultButton(), nullptr);
  EXPECT_EQ(m.form.CancelButton(), nullptr);
  for (const toolkit::Button* b :
       {&m.form.Command1, &m.form.Command2, &m.form.Command3, &m.form.Command4})
    EXPECT_FALSE(b->IsDefault());
}

TEST_F(FormsTest, MainWindowTabOrderFollowsTheDesign) {
  DesignedMain m;
  HWND w = m.form.hWnd();
  auto walk = [&] {
    std::vector<HWND> order;
    HWND h = m.form.txtWord.hWnd();
    for (int i = 0; i < 12; ++i) {
      order.push_back(h);
      h = GetNextDlgTabItem(w, h, FALSE);
      if (h == m.form.txtWord.hWnd()) break;
    }
    return order;
  };
  EXPECT_EQ(walk(), (std::vector<HWND>{m.form.txtWord.hWnd(), m.form.txtExp.hWnd(),
                                       m.form.lstWords.hWnd(), m.form.Command1.hWnd(),
                                       m.form.Command2.hWnd(), m.form.Command4.hWnd()}));
  // Command3 has its place between Command2 and Command4 once it is enabled; labels never.
  m.form.Command3.SetEnabled(true);
  EXPECT_EQ(walk(), (std::vector<HWND>{m.form.txtWord.hWnd(), m.form.txtExp.hWnd(),
                                       m.form.lstWords.hWnd(), m.form.Command1.hWnd(),
                                       m.form.Command2.hWnd(), m.form.Command3.hWnd(),
                                       m.form.Command4.hWnd()}));
}

TEST_F(FormsTest, TrayMenuHasItsLevelsCaptionsAndDesignStates) {
  frmMain form{frmMain::Startup{L"", {}}};
  // The window keeps no pointer to these two; the menu still has them as designed.
  const toolkit::MenuItem* Show_menu = form.mnuPopup.Find(L"Show_menu");
  const toolkit::MenuItem* M_menu = form.mnuPopup.Find(L"M_menu");
  ASSERT_NE(Show_menu, nullptr);
  ASSERT_NE(M_menu, nullptr);
  ASSERT_NE(form.Word_menu, nullptr);
  ASSERT_NE(form.Ballon_menu, nullptr);
  EXPECT_FALSE(Show_menu->Visible());
  EXPECT_EQ(Show_menu->Caption(), L"\u0646\u0645\u0627\u064A\u0634");
  EXPECT_TRUE(form.Word_menu->Checked());
  EXPECT_TRUE(form.Ballon_menu->Checked());  // the design's state; loading clears it
  EXPECT_EQ(form.Word_menu->ParentItem(), M_menu);
  EXPECT_EQ(form.Ballon_menu->ParentItem(), M_menu);

  toolkit::UniqueHmenu popup = form.mnuPopup.BuildPopup();
  ASSERT_TRUE(popup);
  auto caption = [](HMENU menu, int pos) {
    wchar_t buf[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(pos), buf, 128, MF_BYPOSITION);
    return std::wstring(buf);
  };
  // What the user sees: the sub-menu, About, a separator, Close.
  ASSERT_EQ(GetMenuItemCount(popup.get()), 4);
  EXPECT_EQ(caption(popup.get(), 0), L"\u0634\u06A9\u0627\u0631\u0686\u064A \u0644\u063A\u062A");
  EXPECT_EQ(caption(popup.get(), 1),
            L"\u062F\u0631\u0628\u0627\u0631\u0647 \u0648\u0627\u0698\u0647 \u0646\u0627\u0645\u0647 "
            L"\u06A9\u0644\u0648\u0627\u0631\u0627");
  EXPECT_TRUE(GetMenuState(popup.get(), 2, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(caption(popup.get(), 3), L"\u0628\u0633\u062A\u0646");
  HMENU sub = GetSubMenu(popup.get(), 0);
  ASSERT_NE(sub, nullptr);
  ASSERT_EQ(GetMenuItemCount(sub), 3);
  EXPECT_EQ(caption(sub, 0), L"\u0641\u0639\u0627\u0644");
  EXPECT_TRUE(GetMenuState(sub, 0, MF_BYPOSITION) & MF_CHECKED);
  EXPECT_TRUE(GetMenuState(sub, 1, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(caption(sub, 2),
            L"\u0646\u0645\u0627\u064A\u0634 \u062A\u0631\u062C\u0645\u0647 \u062F\u0631 "
            L"\u0628\u0627\u0644\u0648\u0646");
  for (int i : {0, 1, 3}) EXPECT_FALSE(GetMenuState(popup.get(), i, MF_BYPOSITION) & MF_GRAYED);
}

TEST_F(FormsTest, ClipboardTimerIsDesignedOffAtTwoMilliseconds) {
  DesignedMain m;
  EXPECT_EQ(m.form.tmrClipboard.Interval(), 2u);
  EXPECT_FALSE(m.form.tmrClipboard.Enabled());
}

// ---- frmSettings -------------------------------------------------------------------------

TEST_F(FormsTest, OptionsDialogAsDesigned) {
  DesignedMain owner;
  ShowWindow(owner.form.hWnd(), SW_SHOWNOACTIVATE);
  forms::frmSettings s;
  ASSERT_TRUE(s.Create(owner.form.hWnd()));
  HWND w = s.hWnd();
  EXPECT_EQ(TextOf(w), L"Options");
  const LONG style = StyleOf(w);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_EQ(s.ClientWidth(), 305);
  EXPECT_EQ(s.ClientHeight(), 129);
  // Its code measures in twips.
  EXPECT_FLOAT_EQ(s.ScaleWidth(), 4575.0f);
  EXPECT_FLOAT_EQ(s.ScaleHeight(), 1935.0f);
  RECT ownerRect{};
  GetWindowRect(owner.form.hWnd(), &ownerRect);
  ExpectCentredOn(w, ownerRect);

  EXPECT_EQ(s.chkStartUp.Text(),
            L"\u0628\u0627 \u0634\u0631\u0648\u0639 \u0648\u064A\u0646\u062F\u0648\u0632 "
            L"\u0628\u0631\u0646\u0627\u0645\u0647 \u0627\u062C\u0631\u0627 \u0634\u0648\u062F");
  EXPECT_EQ(s.cmdOK.Text(), L"\u0630\u062E\u064A\u0631\u0647");
  EXPECT_EQ(s.cmdCancel.Text(), L"\u0627\u0646\u0635\u0631\u0627\u0641");
  const RECT chk = ClientRectOf(s.chkStartUp), ok = ClientRectOf(s.cmdOK),
             cancel = ClientRectOf(s.cmdCancel);
  EXPECT_EQ(chk.left, 16);
  EXPECT_EQ(chk.top, 16);
  EXPECT_EQ(chk.right, 289);
  // Mended: as designed (13 pixels) the box is a Latin line high and cuts off the descenders of
  // its Persian caption; it grows downwards to the font's whole cell and room for the focus.
  {
    HDC dc = GetDC(s.chkStartUp.hWnd());
    HGDIOBJ old = SelectObject(
        dc, reinterpret_cast<HFONT>(SendMessageW(s.chkStartUp.hWnd(), WM_GETFONT, 0, 0)));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(s.chkStartUp.hWnd(), dc);
    EXPECT_EQ(chk.bottom, 16 + std::max<int>(13, tm.tmHeight + 2));
  }
  EXPECT_EQ(ok.left, 16);
  EXPECT_EQ(ok.top, 88);
  EXPECT_EQ(ok.right, 97);
  EXPECT_EQ(ok.bottom, 113);
  EXPECT_EQ(cancel.left, 104);
  EXPECT_EQ(cancel.right, 185);

  // The box at the right end, read from the right.
  EXPECT_TRUE(StyleOf(s.chkStartUp.hWnd()) & BS_LEFTTEXT);
  EXPECT_TRUE(ExStyleOf(s.chkStartUp.hWnd()) & WS_EX_RTLREADING);
  EXPECT_EQ(StyleOf(s.chkStartUp.hWnd()) & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_EQ(s.chkStartUp.Value(), 0);
  EXPECT_EQ(s.DefaultButton(), &s.cmdOK);
  EXPECT_EQ(s.CancelButton(), &s.cmdCancel);
  EXPECT_TRUE(s.cmdOK.IsDefault());
  EXPECT_EQ(GetNextDlgTabItem(w, s.chkStartUp.hWnd(), FALSE), s.cmdOK.hWnd());
  EXPECT_EQ(GetNextDlgTabItem(w, s.cmdOK.hWnd(), FALSE), s.cmdCancel.hWnd());
}

TEST_F(FormsTest, OptionsDialogEnterSavesAndEscCancels) {
  forms::frmSettings s;
  int saves = 0, cancels = 0;
  s.cmdOK.onClick = [&] { ++saves; };
  s.cmdCancel.onClick = [&] { ++cancels; };
  ASSERT_TRUE(s.Show());
  s.chkStartUp.SetFocus();
  PressKey(s.chkStartUp.hWnd(), VK_RETURN);
  EXPECT_EQ(saves, 1);
  s.cmdOK.SetFocus();
  PressKey(s.cmdOK.hWnd(), VK_RETURN);
  EXPECT_EQ(saves, 2);
  s.chkStartUp.SetFocus();
  PressKey(s.chkStartUp.hWnd(), VK_ESCAPE);
  s.cmdOK.SetFocus();
  PressKey(s.cmdOK.hWnd(), VK_ESCAPE);
  EXPECT_EQ(cancels, 2);
  EXPECT_EQ(saves, 2);
}

// ---- frmAbout ----------------------------------------------------------------------------

TEST_F(FormsTest, AboutDialogAsDesigned) {
  forms::frmAbout a;
  ASSERT_TRUE(a.Create());
  HWND w = a.hWnd();
  EXPECT_EQ(TextOf(w), L"About Dictionary");
  EXPECT_FALSE(StyleOf(w) & WS_THICKFRAME);
  EXPECT_FALSE(StyleOf(w) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_EQ(a.ClientWidth(), 289);
  EXPECT_EQ(a.ClientHeight(), 201);
  ExpectCentredOn(w, Screen());

  EXPECT_EQ(a.Label4.Text(),
            L"\u0648\u0627\u0698\u0647 \u0646\u0627\u0645\u0647 \u06A9\u0644\u0648\u0627\u0631\u0627 "
            L"\u0646\u06AF\u0627\u0631\u0634 1.0");
  EXPECT_EQ(a.Command1.Text(), L"\u062A\u0627\u064A\u064A\u062F");
  EXPECT_EQ(a.Command2.Text(), L"\u062A\u0645\u0627\u0633 \u0628\u0627 \u0645\u0627");
  // The rights notice: two paragraphs with one empty line between them, three lines high.
  const std::wstring notice = a.Label1.Text();
  const size_t gap = notice.find(L"\r\n\r\n");
  ASSERT_NE(gap, std::wstring::npos);
  EXPECT_GT(gap, 0u);
  EXPECT_LT(gap + 4, notice.size());
  EXPECT_EQ(notice.find(L"\r\n", gap + 4), std::wstring::npos);
  EXPECT_FALSE(a.Label2.Text().empty());

  for (const toolkit::Label* l : {&a.Label4, &a.Label2, &a.Label1}) {
    EXPECT_TRUE(l->RightAligned());
    EXPECT_TRUE(l->RightToLeft());
    EXPECT_TRUE(ExStyleOf(l->hWnd()) & WS_EX_RTLREADING);
    // Right-aligned captions keep their designed right edge (4100 twips).
    EXPECT_EQ(l->Left() + l->Width(), forms::Px(4100));
  }
  const LOGFONTW title = FontOf(a.Label4.hWnd());
  EXPECT_EQ(title.lfWeight, FW_BOLD);
  EXPECT_EQ(title.lfCharSet, ARABIC_CHARSET);
  EXPECT_EQ(FontOf(a.Label2.hWnd()).lfWeight, FW_NORMAL);
  const int line = a.Label2.Height();
  EXPECT_EQ(a.Label1.Height(), 3 * line);
  EXPECT_EQ(a.Label1.Width(), 260);

  EXPECT_EQ(ClientRectOf(a.Command1).left, 16);
  EXPECT_EQ(ClientRectOf(a.Command1).top, 160);
  EXPECT_EQ(ClientRectOf(a.Command2).left, 96);
  EXPECT_EQ(a.Command1.Width(), 73);
  EXPECT_EQ(a.Command1.Height(), 27);
  // The title and the credit stand beside the picture, not over it; the notice below it.
  for (const toolkit::Label* l : {&a.Label4, &a.Label2})
    EXPECT_GE(l->Left(), ClientRectOf(a.Image1).right) << l->Top();
  EXPECT_GE(a.Label1.Top(), ClientRectOf(a.Image1).bottom);
  EXPECT_EQ(ClientRectOf(a.Image1).left, 16);
  EXPECT_EQ(ClientRectOf(a.Image1).top, 6);
  EXPECT_EQ(a.Image1.Width(), 55);
  EXPECT_EQ(a.Image1.Height(), 55);
  // Neither button is a default or a cancel button; OK comes first in the tab order.
  EXPECT_EQ(a.DefaultButton(), nullptr);
  EXPECT_EQ(a.CancelButton(), nullptr);
  EXPECT_EQ(GetNextDlgTabItem(w, nullptr, FALSE), a.Command1.hWnd());
}

TEST_F(FormsTest, AboutDialogDrawsAnEtchedSeparator) {
  forms::frmAbout a;
  ASSERT_TRUE(a.Show());
  ASSERT_EQ(a.Lines().size(), 2u);
  UpdateWindow(a.hWnd());
  PumpFor(50);
  HDC dc = GetDC(a.hWnd());
  const int x = 150;
  const COLORREF above = GetPixel(dc, x, 62), grey = GetPixel(dc, x, 63),
                 white1 = GetPixel(dc, x, 64), white2 = GetPixel(dc, x, 65),
                 below = GetPixel(dc, x, 66);
  ReleaseDC(a.hWnd(), dc);
  EXPECT_EQ(grey, RGB(172, 168, 153));
  EXPECT_EQ(white1, RGB(255, 255, 255));
  EXPECT_EQ(white2, RGB(255, 255, 255));
  EXPECT_EQ(above, GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(below, GetSysColor(COLOR_BTNFACE));
}

TEST_F(FormsTest, AboutDialogEscapeDoesNothingAndEnterPressesTheFocusedButton) {
  forms::frmAbout a;
  int contacts = 0;
  a.Command2.onClick = [&] { ++contacts; };
  ASSERT_TRUE(a.Show());
  EXPECT_TRUE(a.Command1.HasFocus());  // first in the tab order
  PressKey(a.Command1.hWnd(), VK_ESCAPE);
  EXPECT_TRUE(a.IsLoaded());
  a.Command2.SetFocus();
  PressKey(a.Command2.hWnd(), VK_RETURN);
  EXPECT_EQ(contacts, 1);
  EXPECT_TRUE(a.IsLoaded());
  a.Command1.SetFocus();
  PressKey(a.Command1.hWnd(), VK_RETURN);  // OK closes
  EXPECT_FALSE(a.IsLoaded());
}

}  // namespace
