#include "MainLayout.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>

using namespace kelvara;

namespace {

using C = MainControl;

struct Rect {
  float left = 0, top = 0, width = 0, height = 0;
};

// A window of plain numbers. Controls start at their design rectangles (pixels), with the
// captions as wide as Tahoma draws them. `adjustHeight` lets a test mimic a control that does
// not keep the height it is given.
class FakeMainWindow : public MainLayoutTarget {
 public:
  FakeMainWindow(float sw, float sh) : sw_(sw), sh_(sh) {
    at(C::txtWord) = {12, 23, 240, 19};
    at(C::txtExp) = {12, 145, 240, 68};
    at(C::lstWords) = {8, 72, 240, 43};
    at(C::Command1) = {192, 232, 81, 27};
    at(C::Command2) = {104, 232, 81, 27};
    at(C::Command3) = {16, 232, 81, 27};
    at(C::Command4) = {280, 232, 81, 27};
    at(C::lblWord) = {227, 7, 24, 13};
    at(C::lblWords) = {200, 56, 50, 13};
    at(C::lblExp) = {215, 128, 35, 13};
  }

  Rect& at(C c) { return rects_[static_cast<size_t>(c)]; }
  float right(C c) { return at(c).left + at(c).width; }
  float bottom(C c) { return at(c).top + at(c).height; }

  std::function<float(C, float)> adjustHeight = [](C, float h) { return h; };
  std::function<float(C, float)> adjustLeft = [](C, float l) { return l; };

  float ScaleWidth() override { return sw_; }
  float ScaleHeight() override { return sh_; }
  float Left(C c) override { return at(c).left; }
  float Top(C c) override { return at(c).top; }
  float Width(C c) override { return at(c).width; }
  float Height(C c) override { return at(c).height; }
  void Move(C c, float left, std::optional<float> top, std::optional<float> width,
            std::optional<float> height) override {
    SetLeft(c, left);
    if (top) SetTop(c, *top);
    if (width) SetWidth(c, *width);
    if (height) SetHeight(c, *height);
  }
  void SetLeft(C c, float v) override { at(c).left = adjustLeft(c, v); }
  void SetTop(C c, float v) override { at(c).top = v; }
  void SetWidth(C c, float v) override { at(c).width = v; }
  void SetHeight(C c, float v) override { at(c).height = adjustHeight(c, v); }

 private:
  float sw_, sh_;
  std::array<Rect, 10> rects_{};
};

FakeMainWindow LaidOut(float sw, float sh) {
  FakeMainWindow w(sw, sh);
  LayOutMainWindow(w);
  return w;
}

void ExpectRect(FakeMainWindow& w, C c, Rect expected, const char* name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(w.at(c).left, expected.left);
  EXPECT_EQ(w.at(c).top, expected.top);
  EXPECT_EQ(w.at(c).width, expected.width);
  EXPECT_EQ(w.at(c).height, expected.height);
}

// The gap between the bottom of the meaning box and the top of the buttons.
float GapAboveButtons(FakeMainWindow& w) { return w.at(C::Command1).top - w.bottom(C::txtExp); }

}  // namespace

TEST(MainLayout, SmallestWindowPutsEveryControlWhereTheWorkedExampleDoes) {
  FakeMainWindow w = LaidOut(377, 266);
  ExpectRect(w, C::Command1, {11, 229, 81, 27}, "Command1");
  ExpectRect(w, C::Command2, {102, 229, 81, 27}, "Command2");
  ExpectRect(w, C::Command3, {193, 229, 81, 27}, "Command3");
  ExpectRect(w, C::Command4, {284, 229, 81, 27}, "Command4");
  ExpectRect(w, C::lblWord, {338, 7, 24, 13}, "lblWord");
  ExpectRect(w, C::txtWord, {15, 25, 347, 19}, "txtWord");
  ExpectRect(w, C::lblWords, {312, 59, 50, 13}, "lblWords");
  ExpectRect(w, C::lstWords, {15, 77, 347, 43}, "lstWords");
  ExpectRect(w, C::lblExp, {327, 130, 35, 13}, "lblExp");
  ExpectRect(w, C::txtExp, {15, 148, 347, 65}, "txtExp");
}

TEST(MainLayout, OddOrEvenFreeHeightOnlyChangesTheGapAboveTheButtons) {
  // Free height 109 at 266 (odd), 110 at 267 (even).
  FakeMainWindow odd = LaidOut(377, 266);
  FakeMainWindow even = LaidOut(377, 267);
  EXPECT_EQ(GapAboveButtons(odd), 16);
  EXPECT_EQ(GapAboveButtons(even), 15);
  EXPECT_EQ(even.at(C::lstWords).height, 43);
  EXPECT_EQ(even.at(C::txtExp).height, 67);
  EXPECT_EQ(even.at(C::Command1).top, 230);
  for (float sh = 266; sh < 400; ++sh) {
    FakeMainWindow w = LaidOut(377, sh);
    const int freeHeight = static_cast<int>(sh) - 157;
    EXPECT_EQ(GapAboveButtons(w), freeHeight % 2 ? 16 : 15) << "client height " << sh;
    EXPECT_EQ(w.at(C::lblExp).top - w.bottom(C::lstWords), 10);
    EXPECT_EQ(w.at(C::txtExp).top - w.bottom(C::lblExp), 5);
    EXPECT_EQ(sh - w.bottom(C::Command1), 10);
  }
}

TEST(MainLayout, ListKeepsWholeLinesAndTheMeaningBoxTakesTheRest) {
  for (float sh = 266; sh < 600; ++sh) {
    FakeMainWindow w = LaidOut(377, sh);
    const int freeHeight = static_cast<int>(sh) - 157;
    const float list = w.at(C::lstWords).height;
    EXPECT_EQ(std::fmod(list - 4, 13.0f), 0.0f) << "client height " << sh;
    EXPECT_EQ(list + w.at(C::txtExp).height, freeHeight / 2 * 2) << "client height " << sh;
    EXPECT_GE(w.at(C::txtExp).height, list) << "client height " << sh;
    EXPECT_LT(w.at(C::txtExp).height - list, 26) << "client height " << sh;
  }
}

TEST(MainLayout, ShortClientAreasFallBackToSeventeenPixelFloors) {
  // Below the smallest window the limiter allows, the arithmetic still holds its floors.
  // Free height = client height - 157 with the design's controls.
  struct Case {
    float sh;
    float list, meaning;
  };
  const Case cases[] = {
      {157 + 36, 17, 19},  // half 18, remainder 1: list 17 exactly
      {157 + 35, 17, 17},  // half 17, remainder 0: the list's own height is 17, not more
      {157 + 18, 17, 14},  // free height above 17: the meaning box keeps half + remainder
      {157 + 17, 17, 21},  // free height 17: the meaning box's base falls back to 17
      {157 + 10, 17, 18},
      // Negative free height: division truncates toward zero and the remainder keeps the
      // dividend's sign (half -4, remainder -8), so the meaning box is 17 - 8.
      {157 - 9, 17, 9},
      {157 - 44, 17, 17},  // half -22, remainder 0
  };
  for (const Case& c : cases) {
    FakeMainWindow w = LaidOut(377, c.sh);
    EXPECT_EQ(w.at(C::lstWords).height, c.list) << "client height " << c.sh;
    EXPECT_EQ(w.at(C::txtExp).height, c.meaning) << "client height " << c.sh;
    EXPECT_EQ(w.at(C::lblExp).top, w.bottom(C::lstWords) + 10) << "client height " << c.sh;
  }
}

TEST(MainLayout, MaximisedWindowKeepsTheButtonsCentredAndStretchesTheBoxes) {
  for (const auto& [sw, sh] : {std::pair{1024.0f, 711.0f}, std::pair{1920.0f, 1017.0f},
                               std::pair{1366.0f, 705.0f}}) {
    SCOPED_TRACE(std::to_string(sw) + " x " + std::to_string(sh));
    FakeMainWindow w = LaidOut(sw, sh);
    const float leftMargin = w.at(C::Command1).left;
    const float rightMargin = sw - w.right(C::Command4);
    EXPECT_LE(std::fabs(leftMargin - rightMargin), 1.0f);
    EXPECT_EQ(w.at(C::Command2).left, w.right(C::Command1) + 10);
    EXPECT_EQ(w.at(C::Command3).left, w.right(C::Command2) + 10);
    EXPECT_EQ(w.at(C::Command4).left, w.right(C::Command3) + 10);
    for (C c : {C::Command1, C::Command2, C::Command3, C::Command4}) {
      EXPECT_EQ(w.at(c).top, sh - 37);
    }
    for (C c : {C::txtWord, C::lstWords, C::txtExp}) {
      EXPECT_EQ(w.at(c).left, 15);
      EXPECT_EQ(w.at(c).width, sw - 30);
    }
    for (C c : {C::lblWord, C::lblWords, C::lblExp}) {
      EXPECT_EQ(w.right(c), sw - 15);
    }
  }
}

TEST(MainLayout, ButtonRowStartRoundsHalvesToEvenAndHalvesTowardZero) {
  // 377 - 354 = 23 -> 11; 378 -> 12; 376.5 - 354 = 22.5 rounds to 22 -> 11;
  // 377.5 - 354 = 23.5 rounds to 24 -> 12; 299 - 354 = -55 -> -27 (truncated, not -28).
  const std::pair<float, float> cases[] = {
      {377, 11}, {378, 12}, {376.5f, 11}, {377.5f, 12}, {299, -27}, {300, -27}, {298, -28}};
  for (auto [sw, left] : cases) {
    FakeMainWindow w = LaidOut(sw, 266);
    EXPECT_EQ(w.at(C::Command1).left, left) << "client width " << sw;
  }
}

TEST(MainLayout, RunningButtonEdgeRoundsHalvesToEven) {
  // Buttons 80.5 wide: 354 - 4 * 0.5 = 352 in all; at client width 378 the row starts at 13.
  // Edges: 13 + 90.5 = 103.5 -> 104; 104 + 90.5 = 194.5 -> 194; 194 + 90.5 = 284.5 -> 284.
  FakeMainWindow w(378, 266);
  for (C c : {C::Command1, C::Command2, C::Command3, C::Command4}) w.at(c).width = 80.5f;
  LayOutMainWindow(w);
  EXPECT_EQ(w.at(C::Command1).left, 13);
  EXPECT_EQ(w.at(C::Command2).left, 104);
  EXPECT_EQ(w.at(C::Command3).left, 194);
  EXPECT_EQ(w.at(C::Command4).left, 284);
}

TEST(MainLayout, EachStepReadsWhatTheControlsReportAfterEarlierSteps) {
  // A list box that snaps its height to whole lines plus its border, as a list without
  // LBS_NOINTEGRALHEIGHT does: the meaning box's caption goes under the list as it really is.
  FakeMainWindow w(377, 300);  // free height 143, half 71, remainder 2, list asked for 69
  w.adjustHeight = [](C c, float h) {
    return c == C::lstWords ? std::floor((h - 4) / 16) * 16 + 4 : h;
  };
  // A first button that lands 3 pixels right of where it is put: the next ones follow it.
  w.adjustLeft = [](C c, float l) { return c == C::Command1 ? l + 3 : l; };
  LayOutMainWindow(w);
  EXPECT_EQ(w.at(C::lstWords).height, 68);
  EXPECT_EQ(w.at(C::lblExp).top, 77 + 68 + 10);
  EXPECT_EQ(w.at(C::txtExp).top, 77 + 68 + 10 + 13 + 5);
  EXPECT_EQ(w.at(C::txtExp).height, 71 + 2);
  EXPECT_EQ(w.at(C::Command1).left, 11 + 3);
  EXPECT_EQ(w.at(C::Command2).left, 11 + 3 + 81 + 10);
}

TEST(MainLayout, CaptionsOfOtherWidthsStayRightAligned) {
  FakeMainWindow w(500, 300);
  w.at(C::lblWord).width = 31;
  w.at(C::lblWords).width = 64;
  w.at(C::lblExp).width = 40;
  LayOutMainWindow(w);
  EXPECT_EQ(w.at(C::lblWord).left, 500 - 31 - 15);
  EXPECT_EQ(w.at(C::lblWords).left, 500 - 64 - 15);
  EXPECT_EQ(w.at(C::lblExp).left, 500 - 40 - 15);
  EXPECT_EQ(w.at(C::lblWord).top, 7);  // never moved vertically
}

TEST(MainLayout, EverySizeIsPositiveAndNothingOverlapsForEveryAllowedClientSize) {
  // The limiter allows client areas from 377 x 266 up; sweep well past full-HD screens.
  for (float sw = 377; sw <= 2600; sw += 7) {
    for (float sh = 266; sh <= 1600; sh += 1) {
      FakeMainWindow w = LaidOut(sw, sh);
      for (size_t i = 0; i < 10; ++i) {
        const Rect& r = w.at(static_cast<C>(i));
        ASSERT_GT(r.width, 0) << sw << " x " << sh << " control " << i;
        ASSERT_GT(r.height, 0) << sw << " x " << sh << " control " << i;
        ASSERT_GE(r.left, 0) << sw << " x " << sh << " control " << i;
        ASSERT_LE(r.left + r.width, sw) << sw << " x " << sh << " control " << i;
      }
      ASSERT_LT(w.bottom(C::txtWord), w.at(C::lblWords).top) << sw << " x " << sh;
      ASSERT_LT(w.bottom(C::lblWords), w.at(C::lstWords).top) << sw << " x " << sh;
      ASSERT_LT(w.bottom(C::lstWords), w.at(C::lblExp).top) << sw << " x " << sh;
      ASSERT_LT(w.bottom(C::lblExp), w.at(C::txtExp).top) << sw << " x " << sh;
      ASSERT_LT(w.bottom(C::txtExp), w.at(C::Command1).top) << sw << " x " << sh;
      ASSERT_EQ(w.bottom(C::Command1), sh - 10) << sw << " x " << sh;
    }
  }
}

TEST(MainLayout, HugeClientAreasSaturateInsteadOfWrapping) {
  // Far beyond any screen: the 16-bit working values hold at their ends, and the list still
  // gets a sane positive height instead of a wrapped negative one.
  FakeMainWindow w(40000, 70000);
  LayOutMainWindow(w);
  EXPECT_GT(w.at(C::lstWords).height, 17);
  EXPECT_GT(w.at(C::txtExp).height, 17);
  EXPECT_GT(w.at(C::Command1).left, 0);
}
