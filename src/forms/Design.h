// Window designs as data: every window, control, line, timer and menu entry with the values
// it has before any code runs. Positions are kept in twips, as designed, and turned into
// pixels (15 twips to the pixel at 96 dots per inch) when the window is built.
#pragma once

#include <windows.h>

#include <optional>
#include <span>
#include <string_view>

#include "toolkit/Font.h"
#include "toolkit/Form.h"

namespace kelvara::forms {

// Twips to pixels at 96 dots per inch, to the nearest pixel.
constexpr int Px(int twips) { return (twips * 2 + 15) / 30; }

enum class ControlKind { TextBox, ListBox, Button, Label, CheckBox, Picture };
enum class Border { Sizable, FixedSingle };

struct TwipsRect {
  int left = 0, top = 0, width = 0, height = 0;
};

struct ControlDesign {
  ControlKind kind = ControlKind::Label;
  std::string_view name{};
  std::wstring_view caption{};
  TwipsRect twips{};
  int tabIndex = -1;  // -1: no place in the tab order
  std::optional<toolkit::FontDesc> font{};  // none: the window's font
  std::optional<COLORREF> foreColor{};
  bool enabled = true;
  bool multiLine = false;
  bool verticalScrollBar = false;
  bool readOnly = false;
  bool rightAligned = false;
  bool rightToLeft = false;
  bool autoSize = false;
  bool wordWrap = false;
  bool isDefault = false;  // Enter presses it
  bool isCancel = false;   // Esc presses it
  bool boxAtRight = false;  // check box: the box at the right end, the text to its left
  std::wstring_view resourceName{};  // picture: the image resource it shows
};

struct LineDesign {
  std::string_view name{};
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // twips
  COLORREF color = RGB(0, 0, 0);
  int width = 1;
};

struct TimerDesign {
  std::string_view name{};
  bool enabled = false;
  UINT interval = 0;  // milliseconds
};

// One menu entry; level 0 is the menu itself, level 1 its entries, level 2 a sub-menu's.
struct MenuDesign {
  int level = 1;
  std::string_view name{};
  std::wstring_view caption{};
  bool visible = true;
  bool checked = false;
  bool enabled = true;
};

struct FormDesign {
  std::string_view name{};
  std::wstring_view caption{};
  Border border = Border::Sizable;
  int clientWidthTwips = 0, clientHeightTwips = 0;
  int outerWidth = 0, outerHeight = 0;  // pixels; 0 where the design fixes only the client area
  toolkit::ScaleUnit scale = toolkit::ScaleUnit::Pixels;
  toolkit::StartPosition start = toolkit::StartPosition::CenterScreen;
  bool keyPreview = false;
  toolkit::FontDesc font{};
  std::span<const ControlDesign> controls{};  // in stored order
  std::span<const LineDesign> lines{};
  std::span<const TimerDesign> timers{};
  std::span<const MenuDesign> menu{};

  const ControlDesign* Control(std::string_view controlName) const;
};

// The fonts of the designs.
inline constexpr toolkit::FontDesc kWindowFont{L"Tahoma", 8.25f, FW_NORMAL, ARABIC_CHARSET};

// Each window's design is declared beside its window: frmMain.h, frmSettings.h, frmAbout.h.

}  // namespace kelvara::forms
