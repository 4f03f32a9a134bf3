// The main window's layout at other display scales: the design's arithmetic with every fixed
// length scaled by DPI/96.
#include "MainLayout.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "toolkit/DpiScale.h"

using namespace kelvara;

namespace {

using C = MainControl;
using kelvara::toolkit::ScaleByDpi;

constexpr std::array<C, 10> kAll = {C::Command1, C::Command2, C::Command3, C::Command4,
                                    C::txtWord,  C::lstWords, C::txtExp,   C::lblWord,
                                    C::lblWords, C::lblExp};

struct Rect {
  float left = 0, top = 0, width = 0, height = 0;
};

// A window of plain numbers at a DPI, whose controls start at the design rectangles scaled by
// `factor` (what the forms make of the designs at that DPI).
class ScaledWindow : public MainLayoutTarget {
 public:
  ScaledWindow(int dpi, float sw, float sh, float factor) : dpi_(dpi), sw_(sw), sh_(sh) {
    const auto put = [&](C c, Rect r) {
      at(c) = {r.left * factor, r.top * factor, r.width * factor, r.height * factor};
    };
    put(C::txtWord, {12, 23, 240, 19});
    put(C::txtExp, {12, 145, 240, 68});
    put(C::lstWords, {8, 72, 240, 43});
    put(C::Command1, {192, 232, 81, 27});
    put(C::Command2, {104, 232, 81, 27});
    put(C::Command3, {16, 232, 81, 27});
    put(C::Command4, {280, 232, 81, 27});
    put(C::lblWord, {227, 7, 24, 13});
    put(C::lblWords, {200, 56, 50, 13});
    put(C::lblExp, {215, 128, 35, 13});
  }
  Rect& at(C c) { return rects_[static_cast<size_t>(c)]; }

  int Dpi() override { return dpi_; }
  float ScaleWidth() override { return sw_; }
  float ScaleHeight() override { return sh_; }
  float Left(C c) override { return at(c).left; }
  float Top(C c) override { return at(c).top; }
  float Width(C c) override { return at(c).width; }
  float Height(C c) override { return at(c).height; }
  void Move(C c, float left, std::optional<float> top, std::optional<float> width,
            std::optional<float> height) override {
    at(c).left = left;
    if (top) at(c).top = *top;
    if (width) at(c).width = *width;
    if (height) at(c).height = *height;
  }
  void SetLeft(C c, float v) override { at(c).left = v; }
  void SetTop(C c, float v) override { at(c).top = v; }
  void SetWidth(C c, float v) override { at(c).width = v; }
  void SetHeight(C c, float v) override { at(c).height = v; }

 private:
  int dpi_;
  float sw_, sh_;
  std::array<Rect, 10> rects_{};
};

TEST(LayoutAtDpi, TwiceTheDpiIsTheSameLayoutAtTwiceTheSize) {
  // At 192 dpi every length of the layout doubles exactly, so a window and controls twice the
  // size must come out exactly twice as large, control by control, wherever the design's two
  // halvings are exact (the width left beside the buttons and the free height both even; an odd
  // one leaves its spare pixel where the 96 dpi layout cannot).
  for (auto [sw, sh] : {std::pair{378, 267}, {600, 451}, {1010, 701}, {1010, 703}}) {
    SCOPED_TRACE(testing::Message() << sw << " x " << sh);
    ScaledWindow at96(96, static_cast<float>(sw), static_cast<float>(sh), 1.0f);
    ScaledWindow at192(192, static_cast<float>(2 * sw), static_cast<float>(2 * sh), 2.0f);
    LayOutMainWindow(at96);
    LayOutMainWindow(at192);
    for (C c : kAll) {
      SCOPED_TRACE(static_cast<int>(c));
      EXPECT_EQ(at192.at(c).left, 2 * at96.at(c).left);
      EXPECT_EQ(at192.at(c).top, 2 * at96.at(c).top);
      EXPECT_EQ(at192.at(c).width, 2 * at96.at(c).width);
      EXPECT_EQ(at192.at(c).height, 2 * at96.at(c).height);
    }
  }
}

TEST(LayoutAtDpi, MarginsGapsAndWholeLinesFollowTheScale) {
  for (int dpi : {120, 144, 168, 192}) {
    SCOPED_TRACE(dpi);
    const float k = static_cast<float>(dpi) / 96.0f;
    const auto S = [dpi](int px) { return static_cast<float>(ScaleByDpi(px, dpi)); };
    for (int extra : {0, 1, 37, 250}) {
      const float sw = static_cast<float>(ScaleByDpi(377, dpi) + extra);
      const float sh = static_cast<float>(ScaleByDpi(266, dpi) + extra);
      ScaledWindow w(dpi, sw, sh, k);
      LayOutMainWindow(w);
      // Boxes: the scaled left margin, the width less both scaled margins.
      for (C box : {C::txtWord, C::lstWords, C::txtExp}) {
        EXPECT_EQ(w.at(box).left, S(15));
        EXPECT_EQ(w.at(box).width, sw - S(30));
      }
      // Buttons: the scaled gap below and between them.
      EXPECT_EQ(w.at(C::Command1).top + w.at(C::Command1).height, sh - S(10));
      EXPECT_EQ(w.at(C::Command2).left,
                std::nearbyint(w.at(C::Command1).left + w.at(C::Command1).width + S(10)));
      // Captions: right-aligned at the scaled margin.
      for (C label : {C::lblWord, C::lblWords, C::lblExp})
        EXPECT_EQ(w.at(label).left + w.at(label).width, sw - S(15));
      // The list: whole scaled lines above the scaled border allowance, never below the
      // scaled smallest height.
      const float list = w.at(C::lstWords).height;
      EXPECT_GE(list, S(17));
      if (list > S(17)) {
        EXPECT_EQ(static_cast<int>(list - S(4)) % static_cast<int>(S(13)), 0) << list;
      }
      EXPECT_EQ(w.at(C::lblExp).top, w.at(C::lstWords).top + list + S(10));
      EXPECT_EQ(w.at(C::txtExp).top, w.at(C::lblExp).top + w.at(C::lblExp).height + S(5));
    }
  }
}

TEST(LayoutAtDpi, At96TheDesignNumbersThemselves) {
  static_assert(ScaleByDpi(13, 96) == 13 && ScaleByDpi(17, 96) == 17 && ScaleByDpi(40, 96) == 40);
  ScaledWindow w(96, 377, 266, 1.0f);
  LayOutMainWindow(w);
  // The worked example of the design.
  EXPECT_EQ(w.at(C::Command1).left, 11);
  EXPECT_EQ(w.at(C::lstWords).height, 43);
  EXPECT_EQ(w.at(C::txtExp).top, 148);
  EXPECT_EQ(w.at(C::txtExp).height, 65);
}

}  // namespace
