// The arithmetic of display scaling, without Windows headers, so that portable code (the main
// window's layout) and its native tests use the very same rules as the windows do.
//
// The designs are measured at 96 dots per inch: twips (1440 to the inch) and pixels of a 96 dpi
// screen. At another DPI every design pixel becomes DPI/96 pixels, rounded to the nearest (halves
// up), and twips are converted at the actual DPI instead of 15 to the pixel. At 96 both give
// exactly what they always gave.
#pragma once

namespace kelvara::toolkit {

inline constexpr int kDesignDpi = 96;

// A length of design pixels at `dpi`, to the nearest pixel (halves away from zero).
constexpr int ScaleByDpi(int designPixels, int dpi) {
  const long long scaled = static_cast<long long>(designPixels) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + kDesignDpi / 2) / kDesignDpi
                                      : -((-scaled + kDesignDpi / 2) / kDesignDpi));
}

// Twips at `dpi`, to the nearest pixel (halves up); at 96 dpi the designs' 15 twips a pixel.
constexpr int TwipsToPixels(int twips, int dpi) {
  const long long scaled = static_cast<long long>(twips) * dpi * 2;
  return static_cast<int>(scaled >= 0 ? (scaled + 1440) / 2880 : -((-scaled + 1440) / 2880));
}

static_assert(TwipsToPixels(5655, 96) == 377 && TwipsToPixels(195, 96) == 13);
static_assert(ScaleByDpi(385, 96) == 385 && ScaleByDpi(13, 144) == 20);

}  // namespace kelvara::toolkit
