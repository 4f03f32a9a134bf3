// Fonts as the designs name them: face, size in points, weight and character set.
#pragma once

#include <windows.h>

#include <string_view>

namespace kelvara::toolkit {

struct FontDesc {
  std::wstring_view face;
  float points = 8.25f;
  int weight = FW_NORMAL;
  BYTE charset = DEFAULT_CHARSET;

  friend bool operator==(const FontDesc&, const FontDesc&) = default;
};

// The designs are measured at 96 dots per inch; fonts are made at the same scale so that text
// and controls keep their proportions.
constexpr int kDesignDpi = 96;

// Character height of a font in pixels at the design scale (8.25 pt -> 11 px).
int FontPixelHeight(float points);

// The LOGFONTW that CreateFontIndirectW is given for a desc.
LOGFONTW ToLogFont(const FontDesc& desc);

}  // namespace kelvara::toolkit
