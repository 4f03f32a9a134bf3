#include "MainLayout.h"

#include <cmath>
#include <cstdint>

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
  // The button row, centred: Command1 to Command4 from left to right, 10 pixels apart and 10
  // above the bottom edge. All four tops use Command1's height.
  int16_t left = Quotient(
      ToInteger(t.ScaleWidth() - (t.Width(C::Command1) + t.Width(C::Command2) +
                                  t.Width(C::Command3) + t.Width(C::Command4) + 30.0f)),
      2);
  t.Move(C::Command1, AsFloat(left), t.ScaleHeight() - t.Height(C::Command1) - 10.0f);
  left = ToInteger(t.Left(C::Command1) + t.Width(C::Command1) + 10.0f);
  t.Move(C::Command2, AsFloat(left), t.ScaleHeight() - t.Height(C::Command1) - 10.0f);
  left = ToInteger(t.Left(C::Command2) + t.Width(C::Command2) + 10.0f);
  t.Move(C::Command3, AsFloat(left), t.ScaleHeight() - t.Height(C::Command1) - 10.0f);
  left = ToInteger(t.Left(C::Command3) + t.Width(C::Command3) + 10.0f);
  t.Move(C::Command4, AsFloat(left), t.ScaleHeight() - t.Height(C::Command1) - 10.0f);

  // The word box under its caption, the list's caption under the word box, the list under that.
  t.Move(C::txtWord, 15.0f, t.Top(C::lblWord) + t.Height(C::lblWord) + 5.0f);
  t.SetTop(C::lblWords, t.Top(C::txtWord) + t.Height(C::txtWord) + 15.0f);
  t.Move(C::lstWords, 15.0f, t.Top(C::lblWords) + t.Height(C::lblWords) + 5.0f);

  t.SetWidth(C::txtWord, t.ScaleWidth() - 30.0f);
  t.SetWidth(C::lstWords, t.ScaleWidth() - 30.0f);
  t.SetWidth(C::txtExp, t.ScaleWidth() - 30.0f);
  t.SetLeft(C::lblWord, t.ScaleWidth() - t.Width(C::lblWord) - 15.0f);
  t.SetLeft(C::lblWords, t.ScaleWidth() - t.Width(C::lblWords) - 15.0f);

  // The height left over is halved between the list and the meaning box; the list keeps whole
  // 13-pixel lines above its 4-pixel border allowance and the meaning box takes the rest.
  const int16_t freeHeight = ToInteger(
      t.ScaleHeight() - (t.Height(C::lblExp) + t.Top(C::lstWords) + 40.0f + t.Height(C::Command1)));
  const int16_t halfHeight = Quotient(freeHeight, 2);
  const int16_t lineRemainder = Remainder(Difference(halfHeight, 4), 13);
  const int16_t listHeight = Difference(halfHeight, lineRemainder);
  t.SetHeight(C::lstWords, listHeight > 17 ? AsFloat(listHeight) : 17.0f);

  // Placed from the list's height as the list reports it, not as it was asked to be.
  t.Move(C::lblExp, t.ScaleWidth() - t.Width(C::lblExp) - 15.0f,
         t.Top(C::lstWords) + t.Height(C::lstWords) + 10.0f);
  const int16_t meaningBase = freeHeight > 17 ? halfHeight : int16_t{17};
  t.Move(C::txtExp, 15.0f, t.Top(C::lblExp) + t.Height(C::lblExp) + 5.0f, t.ScaleWidth() - 30.0f,
         AsFloat(Sum(meaningBase, lineRemainder)));
}

}  // namespace kelvara
