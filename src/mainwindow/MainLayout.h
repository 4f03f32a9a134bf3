// The main window's layout for a normal or maximised window: a centred row of four buttons along
// the bottom, the word box, the result list and the meaning box stretched to the full width, the
// three captions right-aligned, and the height left between the list and the buttons shared by
// the list (snapped to whole 13-pixel lines) and the meaning box.
//
// Pure pixel arithmetic against an abstract target, so that it builds and is tested without
// Windows. The steps run in a fixed order and every value is read from the target at the moment
// it is needed: a later step sees what an earlier one moved, as the real controls report it.
#pragma once

#include <optional>

namespace kelvara {

enum class MainControl {
  Command1, Command2, Command3, Command4, txtWord, lstWords, txtExp, lblWord, lblWords, lblExp
};

struct MainLayoutTarget {
  virtual ~MainLayoutTarget() = default;
  // Client area of the window, pixels.
  virtual float ScaleWidth() = 0;
  virtual float ScaleHeight() = 0;
  // A control's outer rectangle in client pixels.
  virtual float Left(MainControl) = 0;
  virtual float Top(MainControl) = 0;
  virtual float Width(MainControl) = 0;
  virtual float Height(MainControl) = 0;
  // Omitted values keep what the control has.
  virtual void Move(MainControl, float left, std::optional<float> top = {},
                    std::optional<float> width = {}, std::optional<float> height = {}) = 0;
  virtual void SetLeft(MainControl, float) = 0;
  virtual void SetTop(MainControl, float) = 0;
  virtual void SetWidth(MainControl, float) = 0;
  virtual void SetHeight(MainControl, float) = 0;
  // The window's dots per inch: every fixed length of the layout is given at 96 and scaled.
  virtual int Dpi() { return 96; }
};

// Lays the controls out for the target's current client size. At a DPI other than 96 each of
// the layout's fixed lengths (margins, gaps, line height, border allowance, smallest heights) is
// that many pixels scaled by DPI/96 and rounded to the nearest (toolkit/DpiScale.h).
void LayOutMainWindow(MainLayoutTarget& target);

}  // namespace kelvara
