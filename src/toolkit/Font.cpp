#include "Font.h"

#include <cmath>
#include <cwchar>

namespace kelvara::toolkit {

int FontPixelHeight(float points, int dpi) {
  return static_cast<int>(std::lround(points * static_cast<float>(dpi) / 72.0f));
}

LOGFONTW ToLogFont(const FontDesc& desc, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -FontPixelHeight(desc.points, dpi);  // negative: character height, not cell height
  lf.lfWeight = desc.weight;
  lf.lfCharSet = desc.charset;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const size_t n = desc.face.size() < LF_FACESIZE - 1 ? desc.face.size() : LF_FACESIZE - 1;
  wmemcpy(lf.lfFaceName, desc.face.data(), n);
  lf.lfFaceName[n] = L'\0';
  return lf;
}

}  // namespace kelvara::toolkit
