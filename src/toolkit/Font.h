// Fonts as the designs name them: face, size in points, weight and character set.
#pragma once

#include <windows.h>

#include <string_view>

#include "DpiScale.h"

namespace kelvara::toolkit {

struct FontDesc {
  std::wstring_view face;
  float points = 8.25f;
  int weight = FW_NORMAL;
  BYTE charset = DEFAULT_CHARSET;

  friend bool operator==(const FontDesc&, const FontDesc&) = default;
};

// Character height of a font in pixels at a DPI (8.25 pt -> 11 px at the designs' 96 dpi): text
// grows with the controls, so both keep their proportions at every display scale.
int FontPixelHeight(float points, int dpi = kDesignDpi);

// The LOGFONTW that CreateFontIndirectW is given for a desc drawn at `dpi`.
LOGFONTW ToLogFont(const FontDesc& desc, int dpi = kDesignDpi);

}  // namespace kelvara::toolkit
