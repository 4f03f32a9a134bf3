#include "MainLayout.h"

#include <cmath>
#include <cstdint>

#include "toolkit/DpiScale.h"

namespace kelvara {

namespace {

using C = MainControl;

// Working values are 16-bit signed integers; a float is stored into one by rounding to the
// nearest integer with halves to even. Values beyond the range are held at its ends instead of
// wrapping (no real client area comes near them).
int16_t ToInteger(float value) {
  if (std::isnan(value)) {
    return 0;
  }
  float whole = std::floor(value);
  const float fraction = value - whole;
  if (fraction > 0.5f || (fraction == 0.5f && std::fmod(whole, 2.0f) != 0.0f)) {
    whole += 1.0f;
  }
  if (whole >= 32767.0f) return 32767;
  if (whole <= -32768.0f) return -32768;
  return static_cast<int16_t>(whole);
}

// Integer division truncating toward zero; the remainder takes the sign of the dividend. C++'s
// own operators do exactly this.
int16_t Quotient(int16_t dividend, int16_t divisor) {
  return static_cast<int16_t>(dividend / divisor);
}
int16_t Remainder(int16_t dividend, int16_t divisor) {
  return static_cast<int16_t>(dividend % divisor);
}
int16_t Narrow(int value) {
  return static_cast<int16_t>(value > 32767 ? 32767 : value < -32768 ? -32768 : value);
}
int16_t Difference(int16_t a, int16_t b) { return Narrow(a - b); }
int16_t Sum(int16_t a, int16_t b) { return Narrow(a + b); }
float AsFloat(int16_t value) { return static_cast<float>(value); }

}  // namespace

void LayOutMainWindow(MainLayoutTarget& t) {
  // The design's lengths at the window's DPI; at 96 they are the numbers themselves.
  const int dpi = t.Dpi();
  const auto S = [dpi](int designPixels) {
    return kelvara::toolkit::ScaleByDpi(designPixels, dpi);
  };
  const auto F = [&S](int designPixels) { return static_cast<float>(S(designPixels)); };
  const auto I = [&S](int designPixels) { return static_cast<int16_t>(S(designPixels)); };
  // The button row, centred: Command1 to Command4 from left to right, 10 pixels apart and 10
  // above the bottom edge. All four tops use Command1's height.
  int16_t left = Quotient(
      ToInteger(t.ScaleWidth() - (t.Width(C::Command1) + t.Width(C::Command2) +
                                  t.Width(C::Command3) + t.Width(C::Command4) + F(30))),
      2);
  t.Move(C::Command1, AsFloat(left), t.ScaleHeight() - t.Height(C::Command1) - F(10));
  left = ToInteger(t.Left(C::Command1) + t.Width(C::Command1) + F(10));
  t.Move(C::Command2, AsFloat(left), t.ScaleHeight() - t.Height(C::Command1) - F(10));
  left = ToInteger(t.Left(C::Command2) + t.Width(C::Command2) + F(10));
  t.Move(C::Command3, AsFloat(left), t.ScaleHeight() - t.Height(C::Command1) - F(10));
  left = ToInteger(t.Left(C::Command3) + t.Width(C::Command3) + F(10));
  t.Move(C::Command4, AsFloat(left), t.ScaleHeight() - t.Height(C::Command1) - F(10));

  // The word box under its caption, the list's caption under the word box, the list under that.
  t.Move(C::txtWord, F(15), t.Top(C::lblWord) + t.Height(C::lblWord) + F(5));
  t.SetTop(C::lblWords, t.Top(C::txtWord) + t.Height(C::txtWord) + F(15));
  t.Move(C::lstWords, F(15), t.Top(C::lblWords) + t.Height(C::lblWords) + F(5));

  t.SetWidth(C::txtWord, t.ScaleWidth() - F(30));
  t.SetWidth(C::lstWords, t.ScaleWidth() - F(30));
  t.SetWidth(C::txtExp, t.ScaleWidth() - F(30));
  t.SetLeft(C::lblWord, t.ScaleWidth() - t.Width(C::lblWord) - F(15));
  t.SetLeft(C::lblWords, t.ScaleWidth() - t.Width(C::lblWords) - F(15));

  // The height left over is halved between the list and the meaning box; the list keeps whole
  // 13-pixel lines above its 4-pixel border allowance and the meaning box takes the rest.
  const int16_t freeHeight = ToInteger(
      t.ScaleHeight() - (t.Height(C::lblExp) + t.Top(C::lstWords) + F(40) + t.Height(C::Command1)));
  const int16_t halfHeight = Quotient(freeHeight, 2);
  const int16_t lineRemainder = Remainder(Difference(halfHeight, I(4)), I(13));
  const int16_t listHeight = Difference(halfHeight, lineRemainder);
  t.SetHeight(C::lstWords, listHeight > I(17) ? AsFloat(listHeight) : F(17));

  // Placed from the list's height as the list reports it, not as it was asked to be.
  t.Move(C::lblExp, t.ScaleWidth() - t.Width(C::lblExp) - F(15),
         t.Top(C::lstWords) + t.Height(C::lstWords) + F(10));
  const int16_t meaningBase = freeHeight > I(17) ? halfHeight : I(17);
  t.Move(C::txtExp, F(15), t.Top(C::lblExp) + t.Height(C::lblExp) + F(5), t.ScaleWidth() - F(30),
         AsFloat(Sum(meaningBase, lineRemainder)));
}

}  // namespace kelvara
