// Controls that draw or size themselves: labels, the virtual list, pictures.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <set>
#include <string>

#include "TestSupport.h"
#include "toolkit/Control.h"
#include "toolkit/Image.h"

using namespace kelvara;
using namespace kelvara::testing;

namespace {

class ControlsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    PumpFor(20);
    TakeQuitMessage();
  }
};

SIZE TextExtent(HWND control, const std::wstring& text) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size;
}

TEST_F(ControlsTest, SelfSizingLabelsTakeTheSizeOfTheirText) {
  TestForm form;
  toolkit::Label left, right, wrapping;
  const std::wstring text = L": \u0648\u0627\u0698\u0647";
  form.build = [&](TestForm& f, HWND owner) {
    return f.CreateFormWindow(TestForm::Args(), owner) &&
           left.Create(f, {.left = 10, .top = 10, .width = 200, .height = 40, .text = text}, true,
                       false) &&
           right.Create(f, {.left = 10, .top = 60, .width = 200, .height = 40, .text = text,
                            .style = SS_RIGHT, .exStyle = WS_EX_RTLREADING},
                        true, false) &&
           wrapping.Create(f, {.left = 10, .top = 110, .width = 60, .height = 10,
                               .text = L"one two three four five six"},
                           true, true);
  };
  ASSERT_TRUE(form.Load());
  const SIZE extent = TextExtent(left.hWnd(), text);
  EXPECT_EQ(left.Width(), extent.cx);
  EXPECT_EQ(left.Height(), extent.cy);
  EXPECT_EQ(left.Left(), 10);
  // A right-aligned label keeps its right edge where the design put it.
  EXPECT_EQ(right.Width(), extent.cx);
  EXPECT_EQ(right.Left() + right.Width(), 210);
  // A wrapping label keeps its width and grows to hold every line.
  EXPECT_EQ(wrapping.Width(), 60);
  EXPECT_GE(wrapping.Height(), 2 * extent.cy);
}

// What a label shows, read back from the screen.
std::vector<COLORREF> Pixels(HWND w, int width, int height) {
  std::vector<COLORREF> px;
  HDC dc = GetDC(w);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) px.push_back(GetPixel(dc, x, y));
  ReleaseDC(w, dc);
  return px;
}

// The same text drawn with right-to-left reading order, as a reference.
std::vector<COLORREF> RightToLeftReference(HFONT font, const std::wstring& text, int width,
                                           int height) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  RECT r{0, 0, width, height};
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX | DT_RTLREADING);
  std::vector<COLORREF> px;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) px.push_back(GetPixel(dc, x, y));
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBmp);
  DeleteObject(bmp);
  DeleteDC(dc);
  return px;
}

TEST_F(ControlsTest, RightToLeftLabelsPutEdgePunctuationWhereAPersianReaderExpectsIt) {
  TestForm form;
  toolkit::Label label;
  // A colon between two Persian runs and a full stop at the end: only right-to-left reading
  // order puts the first run at the right and the full stop at the left.
  const std::wstring text = L"\u0637\u0631\u0627\u062D\u06CC: \u06AF\u0631\u0648\u0647 1.0.";
  form.build = [&](TestForm& f, HWND owner) {
    return f.CreateFormWindow(TestForm::Args(), owner) &&
           label.Create(f, {.left = 10, .top = 10, .width = 200, .height = 16, .text = text,
                            .style = SS_RIGHT, .exStyle = WS_EX_RTLREADING},
                        false, false);
  };
  ASSERT_TRUE(form.Show());
  UpdateWindow(form.hWnd());
  PumpFor(30);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(label.hWnd(), WM_GETFONT, 0, 0));
  EXPECT_EQ(Pixels(label.hWnd(), 200, 16), RightToLeftReference(font, text, 200, 16));
  EXPECT_EQ(label.Text(), text);  // the caption itself is not changed
}

TEST_F(ControlsTest, VirtualListAsksOnlyForTheEntriesItDraws) {
  TestForm form;
  toolkit::ListBox list;
  std::set<size_t> asked;
  list.itemText = [&](size_t i) {
    asked.insert(i);
    return L"entry " + std::to_wstring(i);
  };
  form.build = [&](TestForm& f, HWND owner) {
    return f.CreateFormWindow(TestForm::Args(), owner) &&
           list.Create(f, {.left = 10, .top = 10, .width = 200, .height = 100});
  };
  ASSERT_TRUE(form.Show());
  ASSERT_TRUE(list.SetCount(300000));
  EXPECT_EQ(list.ListCount(), 300000);
  EXPECT_EQ(list.ListIndex(), -1);
  UpdateWindow(list.hWnd());
  PumpFor(20);
  ASSERT_FALSE(asked.empty());
  const size_t visible = static_cast<size_t>(100 / list.ItemHeight()) + 1;
  EXPECT_LE(asked.size(), visible);
  EXPECT_LE(*asked.rbegin(), visible);
  // The same number of entries may stand for other texts: they are drawn again.
  asked.clear();
  list.SetCount(300000);
  UpdateWindow(list.hWnd());
  EXPECT_FALSE(asked.empty());
  // Replacing the entries clears the selection.
  list.SetListIndex(5);
  EXPECT_EQ(list.ListIndex(), 5);
  list.SetCount(3);
  EXPECT_EQ(list.ListIndex(), -1);
  EXPECT_EQ(list.ListCount(), 3);
}

// The list's entry drawn by the form's WM_DRAWITEM into a bitmap of its own, as pixels.
std::vector<COLORREF> DrawnEntry(toolkit::Form& form, toolkit::ListBox& list, UINT state) {
  constexpr int kWidth = 60, kHeight = 16;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_LISTBOX;
  item.CtlID = static_cast<UINT>(GetDlgCtrlID(list.hWnd()));
  item.itemID = 0;
  item.itemAction = ODA_DRAWENTIRE;
  item.itemState = state;
  item.hwndItem = list.hWnd();
  item.hDC = dc;
  item.rcItem = {0, 0, kWidth, kHeight};
  SendMessageW(form.hWnd(), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
  std::vector<COLORREF> pixels;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) pixels.push_back(GetPixel(dc, x, y));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return pixels;
}

TEST_F(ControlsTest, TheListDrawsItsFocusRectangleOnlyWhenTheUserUsesTheKeyboard) {
  TestForm form;
  toolkit::ListBox list;
  list.itemText = [](size_t) { return std::wstring(L"cat"); };
  form.build = [&](TestForm& f, HWND owner) {
    return f.CreateFormWindow(TestForm::Args(), owner) &&
           list.Create(f, {.left = 10, .top = 10, .width = 200, .height = 100});
  };
  ASSERT_TRUE(form.Show());
  ASSERT_TRUE(list.SetCount(1));
  const auto plain = DrawnEntry(form, list, 0);
  EXPECT_NE(DrawnEntry(form, list, ODS_FOCUS), plain) << "the focus rectangle is drawn";
  EXPECT_EQ(DrawnEntry(form, list, ODS_FOCUS | ODS_NOFOCUSRECT), plain)
      << "hidden while the window hides its focus cues";
}

LRESULT CALLBACK CountFrameChanges(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR count) {
  if (msg == WM_NCCALCSIZE) ++*reinterpret_cast<int*>(count);
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// Showing and hiding a scroll bar re-frames the list (a round of window-system calls at each
// lookup); the list keeps its bar and only enables it when the entries do not all show.
TEST_F(ControlsTest, ListKeepsItsScrollBarWhateverItsLength) {
  TestForm form;
  toolkit::ListBox list;
  list.itemText = [](size_t i) { return std::to_wstring(i); };
  form.build = [&](TestForm& f, HWND owner) {
    return f.CreateFormWindow(TestForm::Args(), owner) &&
           list.Create(f, {.left = 10, .top = 10, .width = 200, .height = 100});
  };
  ASSERT_TRUE(form.Show());
  int frames = 0;
  ASSERT_TRUE(SetWindowSubclass(list.hWnd(), CountFrameChanges, 1, reinterpret_cast<DWORD_PTR>(&frames)));
  auto barEnabled = [&] {
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(GetScrollBarInfo(list.hWnd(), OBJID_VSCROLL, &info));
    EXPECT_FALSE(info.rgstate[0] & STATE_SYSTEM_INVISIBLE);
    return !(info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE);
  };
  RECT shortList{}, longList{};
  list.SetCount(1);
  GetClientRect(list.hWnd(), &shortList);
  EXPECT_FALSE(barEnabled());
  list.SetCount(300000);
  GetClientRect(list.hWnd(), &longList);
  EXPECT_TRUE(barEnabled());
  list.SetCount(2);
  EXPECT_FALSE(barEnabled());
  EXPECT_EQ(shortList.right, longList.right);
  EXPECT_LT(longList.right, 200 - 4);
  EXPECT_EQ(frames, 0);
  RemoveWindowSubclass(list.hWnd(), CountFrameChanges, 1);
}

TEST_F(ControlsTest, ListClickReportsTheEntryUnderTheMouse) {
  TestForm form;
  toolkit::ListBox list;
  list.itemText = [](size_t i) { return std::to_wstring(i); };
  std::vector<int> clicked;
  list.onClick = [&] { clicked.push_back(list.ListIndex()); };
  form.build = [&](TestForm& f, HWND owner) {
    return f.CreateFormWindow(TestForm::Args(), owner) &&
           list.Create(f, {.left = 10, .top = 10, .width = 200, .height = 100});
  };
  ASSERT_TRUE(form.Show());
  list.SetCount(10);
  const int y = list.ItemHeight() * 2 + list.ItemHeight() / 2;
  SendMessageW(list.hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, y));
  SendMessageW(list.hWnd(), WM_LBUTTONUP, 0, MAKELPARAM(20, y));
  PumpFor(20);
  ASSERT_FALSE(clicked.empty());
  EXPECT_EQ(clicked.back(), 2);
}

TEST_F(ControlsTest, ImagesThatAreNotImagesGiveNoBitmap) {
  const unsigned char junk[] = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  EXPECT_EQ(toolkit::DecodeImage(junk, sizeof junk, RGB(0, 0, 0)), nullptr);
  EXPECT_EQ(toolkit::DecodeImage(nullptr, 0, RGB(0, 0, 0)), nullptr);
  EXPECT_EQ(toolkit::LoadImageResource(GetModuleHandleW(nullptr), L"NO_SUCH_PICTURE",
                                       MAKEINTRESOURCEW(10), RGB(0, 0, 0)),
            nullptr);
}

TEST_F(ControlsTest, AGifDecodesToItsSizeWithTransparencyOnTheBackground) {
  // A 2 x 1 GIF: palette red and green, the second pixel transparent.
  const unsigned char gif[] = {
      'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0,
      0xFF, 0, 0, 0, 0xFF, 0,                               // palette: red, green
      0x21, 0xF9, 4, 1, 0, 0, 1, 0,                         // transparent index 1
      0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0,                      // image descriptor 2 x 1
      2, 2, 0x44, 0x0A, 0,                                  // LZW: pixels 0, 1
      0x3B};
  SIZE size{};
  HBITMAP bmp = toolkit::DecodeImage(gif, sizeof gif, RGB(0, 0, 255), &size);
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(size.cx, 2);
  EXPECT_EQ(size.cy, 1);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 255));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bmp);
}

LRESULT CALLBACK CountPositionChanges(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR count) {
  if (msg == WM_WINDOWPOSCHANGING) ++*reinterpret_cast<int*>(count);
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

TEST_F(ControlsTest, MovingAControlWhereItAlreadyIsSendsItNothing) {
  TestForm form;
  toolkit::TextBox box;
  form.build = [&](TestForm& f, HWND owner) {
    return f.CreateFormWindow(TestForm::Args(), owner) &&
           box.Create(f, {.left = 10, .top = 20, .width = 100, .height = 24});
  };
  ASSERT_TRUE(form.Load());
  int changes = 0;
  ASSERT_TRUE(SetWindowSubclass(box.hWnd(), CountPositionChanges, 1,
                                reinterpret_cast<DWORD_PTR>(&changes)));
  EXPECT_FALSE(box.Move(10, 20, 100, 24));
  EXPECT_FALSE(box.SetWidth(100));
  EXPECT_FALSE(box.SetTop(20));
  EXPECT_EQ(changes, 0);
  // Any one value that differs moves it, keeping the others.
  EXPECT_TRUE(box.SetHeight(30));
  EXPECT_TRUE(box.Move(15));
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(box.Left(), 15);
  EXPECT_EQ(box.Top(), 20);
  EXPECT_EQ(box.Width(), 100);
  EXPECT_EQ(box.Height(), 30);
  RemoveWindowSubclass(box.hWnd(), CountPositionChanges, 1);
}

std::wstring WindowText(HWND hwnd) {
  wchar_t text[64] = {};
  GetWindowTextW(hwnd, text, 64);
  return text;
}

LRESULT CALLBACK PassOn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// A control object may end before its window (a form's members go before the form's window):
// the window then belongs to its class again, also when another subclass sits on top of ours.
TEST_F(ControlsTest, AWindowOutlivingItsControlIsLeftToItsClass) {
  TestForm form;
  auto plain = std::make_unique<toolkit::TextBox>();
  auto covered = std::make_unique<toolkit::TextBox>();
  form.build = [&](TestForm& f, HWND owner) {
    return f.CreateFormWindow(TestForm::Args(), owner) &&
           plain->Create(f, {.left = 10, .top = 10, .width = 100, .height = 24}) &&
           covered->Create(f, {.left = 10, .top = 40, .width = 100, .height = 24});
  };
  ASSERT_TRUE(form.Load());
  // While the controls live, their key handler drops every key.
  for (auto* box : {plain.get(), covered.get()}) box->onKeyPress = [](wchar_t& ch) { ch = 0; };
  HWND plainWindow = plain->hWnd(), coveredWindow = covered->hWnd();
  ASSERT_TRUE(SetWindowSubclass(coveredWindow, PassOn, 1, 0));
  for (HWND w : {plainWindow, coveredWindow}) SendMessageW(w, WM_CHAR, L'a', 0);
  EXPECT_EQ(WindowText(plainWindow), L"");
  EXPECT_EQ(WindowText(coveredWindow), L"");

  plain.reset();
  covered.reset();
  const auto classProc = GetClassLongPtrW(plainWindow, GCLP_WNDPROC);
  EXPECT_EQ(GetWindowLongPtrW(plainWindow, GWLP_WNDPROC), classProc);
  for (HWND w : {plainWindow, coveredWindow}) {
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_USERDATA), 0);
    SendMessageW(w, WM_CHAR, L'b', 0);
    EXPECT_EQ(WindowText(w), L"b");
  }
  RemoveWindowSubclass(coveredWindow, PassOn, 1);
  SendMessageW(coveredWindow, WM_CHAR, L'c', 0);
  EXPECT_EQ(WindowText(coveredWindow), L"bc");
}

}  // namespace
