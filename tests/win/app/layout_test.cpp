// The main window's layout on the real window and its controls.
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "LimitedWindow.h"

using namespace kelvara;
using namespace kelvara::testing;

namespace {

RECT Rect(const toolkit::Control& c) {
  return {c.Left(), c.Top(), c.Left() + c.Width(), c.Top() + c.Height()};
}

void SetClientSize(HWND w, int width, int height) {
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(w, GWL_EXSTYLE)));
  SetWindowPos(w, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}

TEST(MainLayout, TheWorkedExampleAtTheMinimumClientSize) {
  MainWindowOn m;
  ASSERT_TRUE(m.shown);
  frmMain& f = *m.form;
  // The worked example's control sizes; the captions' widths come from their text otherwise.
  f.lblWord.Move(f.lblWord.Left(), 7, 24, 13);
  f.lblWords.Move(f.lblWords.Left(), {}, 50, 13);
  f.lblExp.Move(f.lblExp.Left(), {}, 35, 13);
  ASSERT_EQ(f.txtWord.Height(), 19);
  ASSERT_EQ(f.Command1.Width(), 81);
  ASSERT_EQ(f.Command1.Height(), 27);
  // The frame of this platform may make the designed outer size hold a taller client area;
  // the limiter lets go so that the client area can be exactly the designed minimum.
  ReleaseWindowLimit(f.hWnd());
  SetClientSize(f.hWnd(), 400, 300);
  SetClientSize(f.hWnd(), 377, 266);
  ASSERT_EQ(f.ClientWidth(), 377);
  ASSERT_EQ(f.ClientHeight(), 266);

  const toolkit::Button* buttons[] = {&f.Command1, &f.Command2, &f.Command3, &f.Command4};
  const int lefts[] = {11, 102, 193, 284};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(buttons[i]->Left(), lefts[i]) << i;
    EXPECT_EQ(buttons[i]->Top(), 229) << i;
    EXPECT_EQ(buttons[i]->Width(), 81) << i;
  }
  EXPECT_EQ(Rect(f.txtWord).left, 15);
  EXPECT_EQ(Rect(f.txtWord).top, 25);
  EXPECT_EQ(f.txtWord.Width(), 347);
  EXPECT_EQ(f.lblWords.Top(), 59);
  EXPECT_EQ(Rect(f.lstWords).left, 15);
  EXPECT_EQ(Rect(f.lstWords).top, 77);
  EXPECT_EQ(f.lstWords.Width(), 347);
  EXPECT_EQ(f.lstWords.Height(), 43);  // not snapped by the list itself
  EXPECT_EQ(f.lblExp.Top(), 130);
  EXPECT_EQ(Rect(f.txtExp).left, 15);
  EXPECT_EQ(Rect(f.txtExp).top, 148);
  EXPECT_EQ(f.txtExp.Width(), 347);
  EXPECT_EQ(f.txtExp.Height(), 65);
  EXPECT_EQ(f.lblWord.Left(), 338);
  EXPECT_EQ(f.lblWords.Left(), 312);
  EXPECT_EQ(f.lblExp.Left(), 327);
}

TEST(MainLayout, FirstDisplayAndMaximisingStretchTheBoxesAndCentreTheButtons) {
  MainWindowOn m;
  ASSERT_TRUE(m.shown);
  frmMain& f = *m.form;
  auto check = [&](const char* when) {
    const int sw = f.ClientWidth(), sh = f.ClientHeight();
    for (const toolkit::Control* box :
         std::initializer_list<const toolkit::Control*>{&f.txtWord, &f.lstWords, &f.txtExp}) {
      EXPECT_EQ(box->Left(), 15) << when;
      EXPECT_EQ(box->Width(), sw - 30) << when;
    }
    // The row is centred (to a pixel) and sits 10 pixels above the bottom.
    const int rowLeft = f.Command1.Left(), rowRight = f.Command4.Left() + f.Command4.Width();
    EXPECT_LE(std::abs(rowLeft - (sw - rowRight)), 1) << when;
    EXPECT_EQ(f.Command1.Top() + f.Command1.Height(), sh - 10) << when;
    EXPECT_LT(f.Command1.Left(), f.Command2.Left());
    EXPECT_LT(f.Command3.Left(), f.Command4.Left());
    // The captions end 15 pixels from the right edge, above their boxes.
    for (const toolkit::Label* l : {&f.lblWord, &f.lblWords, &f.lblExp})
      EXPECT_EQ(l->Left() + l->Width(), sw - 15) << when;
    EXPECT_EQ(f.txtWord.Top(), f.lblWord.Top() + f.lblWord.Height() + 5) << when;
    EXPECT_EQ(f.lstWords.Top(), f.lblWords.Top() + f.lblWords.Height() + 5) << when;
    EXPECT_EQ(f.txtExp.Top(), f.lblExp.Top() + f.lblExp.Height() + 5) << when;
    // The list shows whole lines.
    EXPECT_EQ((f.lstWords.Height() - 4) % 13, 0) << when;
    EXPECT_LT(f.txtExp.Top() + f.txtExp.Height(), f.Command1.Top()) << when;
  };
  check("first display");
  f.SetWindowState(toolkit::WindowState::Maximized);
  ASSERT_EQ(f.GetWindowState(), toolkit::WindowState::Maximized);
  EXPECT_GT(f.ClientWidth(), 377);
  check("maximised");
  f.SetWindowState(toolkit::WindowState::Normal);
  check("restored");
}

TEST(MainLayout, EveryControlStaysInsideTheWindowAtSizesTheLimiterAllows) {
  MainWindowOn m;
  ASSERT_TRUE(m.shown);
  frmMain& f = *m.form;
  for (int width : {385, 386, 500, 777}) {
    for (int height : {300, 301, 333, 480}) {
      SetWindowPos(f.hWnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
      const int sw = f.ClientWidth(), sh = f.ClientHeight();
      for (const toolkit::Control* c : std::initializer_list<const toolkit::Control*>{
               &f.txtWord, &f.lstWords, &f.txtExp, &f.Command1, &f.Command2, &f.Command3,
               &f.Command4, &f.lblWord, &f.lblWords, &f.lblExp}) {
        const RECT r = Rect(*c);
        EXPECT_GE(r.left, 0) << width << "x" << height;
        EXPECT_GE(r.top, 0) << width << "x" << height;
        EXPECT_LE(r.right, sw) << width << "x" << height;
        EXPECT_LE(r.bottom, sh) << width << "x" << height;
        EXPECT_GT(c->Height(), 0);
      }
    }
  }
}

}  // namespace
