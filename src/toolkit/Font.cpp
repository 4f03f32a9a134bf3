#include "Font.h"

#include <cmath>
#include <cwchar>

namespace kelvara::toolkit {

int FontPixelHeight(float points) {
  return static_cast<int>(std::lround(points * kDesignDpi / 72.0f));
}

LOGFONTW ToLogFont(const FontSpec& spec) {
  LOGFONTW lf{};
  lf.lfHeight = -FontPixelHeight(spec.points);  // negative: character height, not cell height
  lf.lfWeight = spec.weight;
  lf.lfCharSet = spec.charset;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const size_t n = spec.face.size() < LF_FACESIZE - 1 ? spec.face.size() : LF_FACESIZE - 1;
  wmemcpy(lf.lfFaceName, spec.face.data(), n);
  lf.lfFaceName[n] = L'\0';
  return lf;
}

}  // namespace kelvara::toolkit
