// The three windows at other display scales, in-process: what they are made at the screen's
// DPI, and what WM_DPICHANGED (sent here as Windows sends it when a window moves to a screen of
// another scale) makes of them. Run by ctest at the test prefix's DPI; the end-to-end DPI cases
// run it again with the prefix set to 120, 144 and 192 dpi and KELVARA_EXPECT_DPI naming it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "../toolkit/TestSupport.h"
#include "LimitedWindow.h"
#include "forms/Build.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmSettings.h"
#include "frmMain.h"
#include "toolkit/Dpi.h"

using namespace kelvara;
using kelvara::toolkit::ScaleByDpi;
using kelvara::toolkit::TwipsToPixels;

namespace {

int ExpectedDpi() {
  const char* v = std::getenv("KELVARA_EXPECT_DPI");
  return v && *v ? std::atoi(v) : 0;
}

RECT RectIn(const toolkit::Control& c) {
  return RECT{c.Left(), c.Top(), c.Left() + c.Width(), c.Top() + c.Height()};
}

TEXTMETRICW Metrics(HWND hwnd) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return tm;
}

SIZE TextSize(HWND hwnd, UINT flags, int width) {
  const std::wstring text = [&] {
    std::wstring t(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    t.resize(static_cast<size_t>(GetWindowTextW(hwnd, t.data(), static_cast<int>(t.size()))));
    return t;
  }();
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  RECT r{0, 0, width, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// Every caption of the form is drawn whole inside its control: its width beside a check box's
// box or inside a button's edges, and its whole cell height (descenders of Persian letters
// included).
void ExpectCaptionsFit(toolkit::Form& form, const std::vector<toolkit::Control*>& controls) {
  const int dpi = form.Dpi();
  for (toolkit::Control* c : controls) {
    HWND h = c->hWnd();
    const std::wstring text = c->Text();
    SCOPED_TRACE(::testing::Message() << "a caption of " << text.size() << " characters at " << dpi
                                      << " dpi");
    const TEXTMETRICW tm = Metrics(h);
    const RECT r = RectIn(*c);
    const int w = r.right - r.left, height = r.bottom - r.top;
    wchar_t cls[16]{};
    GetClassNameW(h, cls, 16);
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    if (lstrcmpiW(cls, L"Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
      const int box = toolkit::SystemMetricForDpi(SM_CXMENUCHECK, dpi);
      EXPECT_LE(TextSize(h, DT_SINGLELINE, 0).cx, w - box - ScaleByDpi(4, dpi));
      EXPECT_GE(height, tm.tmHeight);
    } else if (lstrcmpiW(cls, L"Button") == 0) {
      const int edge = 2 * toolkit::SystemMetricForDpi(SM_CXEDGE, dpi);
      EXPECT_LE(TextSize(h, DT_SINGLELINE, 0).cx, w - 2 * edge);
      EXPECT_LE(tm.tmHeight, height - 2 * edge);
    } else if (auto* label = dynamic_cast<toolkit::Label*>(c)) {
      const SIZE need = TextSize(h, label->DrawFlags(), w);
      EXPECT_LE(need.cx, w);
      EXPECT_LE(need.cy, height);
      EXPECT_GE(height, tm.tmHeight);
    }
  }
}

// What Windows sends when the window comes to a screen of `dpi`: the new DPI and a window
// rectangle for it, here the one that gives the designed client area inside the frame the
// window really has (Windows would draw that frame at the new DPI too; Wine keeps the system's).
void ChangeDpi(toolkit::Form& form, int dpi, int clientTwipsW, int clientTwipsH) {
  RECT now{};
  GetWindowRect(form.hWnd(), &now);
  RECT r{0, 0, TwipsToPixels(clientTwipsW, dpi), TwipsToPixels(clientTwipsH, dpi)};
  toolkit::AdjustWindowRectForDpi(r, static_cast<DWORD>(GetWindowLongW(form.hWnd(), GWL_STYLE)),
                                  static_cast<DWORD>(GetWindowLongW(form.hWnd(), GWL_EXSTYLE)),
                                  toolkit::DpiOfWindow(form.hWnd()));
  RECT suggested{now.left, now.top, now.left + r.right - r.left, now.top + r.bottom - r.top};
  SendMessageW(form.hWnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
               reinterpret_cast<LPARAM>(&suggested));
}

void ExpectAtDesign(const toolkit::Control& c, const forms::FormDesign& design, const char* name,
                    int dpi) {
  SCOPED_TRACE(name);
  const forms::ControlDesign* d = design.Control(name);
  ASSERT_NE(d, nullptr);
  const RECT r = RectIn(c);
  EXPECT_EQ(r.left, TwipsToPixels(d->twips.left, dpi));
  EXPECT_EQ(r.top, TwipsToPixels(d->twips.top, dpi));
  EXPECT_EQ(r.right - r.left, TwipsToPixels(d->twips.width, dpi));
  EXPECT_EQ(r.bottom - r.top, TwipsToPixels(d->twips.height, dpi));
}

LONG FontHeight(const toolkit::Control& c) {
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(c.hWnd(), WM_GETFONT, 0, 0)), sizeof lf, &lf);
  return lf.lfHeight;
}

class DpiTest : public ::testing::Test {
 protected:
  void TearDown() override {
    kelvara::testing::PumpFor(20);
    kelvara::testing::TakeQuitMessage();
  }
};

// ---- made at the screen's DPI -------------------------------------------------------------

TEST_F(DpiTest, TheWindowsAreMadeAtTheScreensDpi) {
  forms::frmSettings s;
  ASSERT_TRUE(s.Create());
  const int dpi = s.Dpi();
  if (ExpectedDpi()) EXPECT_EQ(dpi, ExpectedDpi()) << "the prefix's LogPixels did not take";
  EXPECT_EQ(dpi, toolkit::DpiOfWindow(s.hWnd()));
  EXPECT_EQ(s.ClientWidth(), TwipsToPixels(4575, dpi));
  EXPECT_EQ(s.ClientHeight(), TwipsToPixels(1935, dpi));
  ExpectAtDesign(s.cmdOK, forms::frmSettingsDesign(), "cmdOK", dpi);
  ExpectAtDesign(s.cmdCancel, forms::frmSettingsDesign(), "cmdCancel", dpi);
  EXPECT_EQ(FontHeight(s.cmdOK), -std::lround(8.25 * dpi / 72));
  ExpectCaptionsFit(s, {&s.chkStartUp, &s.cmdOK, &s.cmdCancel});

  forms::frmAbout a;
  ASSERT_TRUE(a.Create());
  EXPECT_EQ(a.ClientWidth(), TwipsToPixels(4335, dpi));
  EXPECT_EQ(a.ClientHeight(), TwipsToPixels(3015, dpi));
  ExpectAtDesign(a.Command1, forms::frmAboutDesign(), "Command1", dpi);
  ExpectAtDesign(a.Command2, forms::frmAboutDesign(), "Command2", dpi);
  ExpectAtDesign(a.Image1, forms::frmAboutDesign(), "Image1", dpi);
  ExpectCaptionsFit(a, {&a.Label4, &a.Label2, &a.Label1, &a.Command1, &a.Command2});
}

TEST_F(DpiTest, TheMainWindowsSmallestSizeGrowsWithTheDpi) {
  frmMain m{frmMain::Startup{L"", {}}};
  ASSERT_TRUE(m.Create());
  const int dpi = toolkit::DpiOfWindow(m.hWnd());
  LimitWindowSize(m.hWnd(), 385, 300, 0, 0);
  MINMAXINFO info{};
  SendMessageW(m.hWnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, ScaleByDpi(385, dpi));
  EXPECT_EQ(info.ptMinTrackSize.y, ScaleByDpi(300, dpi));
  // Made at least that large, with the buttons and captions whole.
  RECT r{};
  GetWindowRect(m.hWnd(), &r);
  EXPECT_GE(r.right - r.left, ScaleByDpi(385, dpi));
  EXPECT_GE(r.bottom - r.top, ScaleByDpi(300, dpi));
  ExpectCaptionsFit(m, {&m.Command1, &m.Command2, &m.Command3, &m.Command4, &m.lblWord,
                        &m.lblWords, &m.lblExp});
  ReleaseWindowLimit(m.hWnd());
}

// ---- WM_DPICHANGED ----------------------------------------------------------------------

TEST_F(DpiTest, TheDialogsFollowAChangeOfDpiToTheirDesignsAtTheNewScale) {
  forms::frmSettings s;
  ASSERT_TRUE(s.Create());
  forms::frmAbout a;
  ASSERT_TRUE(a.Create());
  for (int dpi : {120, 144, 192, 96}) {
    SCOPED_TRACE(dpi);
    ChangeDpi(s, dpi, 4575, 1935);
    EXPECT_EQ(s.Dpi(), dpi);
    EXPECT_EQ(s.ClientWidth(), TwipsToPixels(4575, dpi));
    EXPECT_EQ(s.ClientHeight(), TwipsToPixels(1935, dpi));
    // The dialog's code measures in twips: the same numbers at every scale.
    EXPECT_NEAR(s.ScaleWidth(), 4575.0f, 1440.0f / dpi);
    ExpectAtDesign(s.cmdOK, forms::frmSettingsDesign(), "cmdOK", dpi);
    ExpectAtDesign(s.cmdCancel, forms::frmSettingsDesign(), "cmdCancel", dpi);
    EXPECT_EQ(RectIn(s.chkStartUp).top, TwipsToPixels(240, dpi));
    EXPECT_EQ(FontHeight(s.chkStartUp), -std::lround(8.25 * dpi / 72));
    ExpectCaptionsFit(s, {&s.chkStartUp, &s.cmdOK, &s.cmdCancel});

    ChangeDpi(a, dpi, 4335, 3015);
    EXPECT_EQ(a.ClientWidth(), TwipsToPixels(4335, dpi));
    ExpectAtDesign(a.Command1, forms::frmAboutDesign(), "Command1", dpi);
    ExpectAtDesign(a.Image1, forms::frmAboutDesign(), "Image1", dpi);
    // The right-aligned captions keep their right edge where the design has it.
    EXPECT_EQ(RectIn(a.Label2).right, TwipsToPixels(2525, dpi) + TwipsToPixels(1575, dpi));
    ASSERT_EQ(a.Lines().size(), 2u);
    EXPECT_EQ(a.Lines()[0].from.y, TwipsToPixels(945, dpi));
    EXPECT_EQ(a.Lines()[1].to.x, TwipsToPixels(4085, dpi));
    ExpectCaptionsFit(a, {&a.Label4, &a.Label2, &a.Label1, &a.Command1, &a.Command2});
  }
}

TEST_F(DpiTest, TheMainWindowIsLaidOutAgainAtTheNewDpi) {
  frmMain m{frmMain::Startup{L"", {}}};
  ASSERT_TRUE(m.Create());
  for (int dpi : {144, 120, 192, 96}) {
    SCOPED_TRACE(dpi);
    ChangeDpi(m, dpi, 5655, 3990);
    const int sw = m.ClientWidth(), sh = m.ClientHeight();
    // The buttons at their designed size for the scale, the row along the scaled bottom gap.
    for (const toolkit::Button* b : {&m.Command1, &m.Command2, &m.Command3, &m.Command4}) {
      EXPECT_EQ(b->Width(), TwipsToPixels(1215, dpi));
      EXPECT_EQ(b->Height(), TwipsToPixels(405, dpi));
      EXPECT_EQ(b->Top() + b->Height(), sh - ScaleByDpi(10, dpi));
    }
    // The boxes between the scaled margins, the captions at the scaled right margin.
    EXPECT_EQ(m.txtWord.Left(), ScaleByDpi(15, dpi));
    EXPECT_EQ(m.txtExp.Width(), sw - ScaleByDpi(30, dpi));
    EXPECT_EQ(m.lblExp.Left() + m.lblExp.Width(), sw - ScaleByDpi(15, dpi));
    EXPECT_EQ(m.txtWord.Height(), TwipsToPixels(285, dpi));
    EXPECT_EQ(FontHeight(m.lstWords), -std::lround(8.25 * dpi / 72));
    ExpectCaptionsFit(m, {&m.Command1, &m.Command2, &m.Command3, &m.Command4, &m.lblWord,
                          &m.lblWords, &m.lblExp});
  }
}

}  // namespace
