#include "Utf.h"

#include <windows.h>

#include <climits>

namespace kelvara::toolkit {

namespace {
// The platform converters take int lengths; longer texts are converted in slices that end on
// a whole character, so no sequence is split.
constexpr size_t kSlice = 1u << 28;

size_t Utf8SliceEnd(std::string_view s, size_t from) {
  size_t end = from + kSlice;
  if (end >= s.size()) return s.size();
  while (end > from && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
  return end == from ? from + kSlice : end;
}

size_t WideSliceEnd(std::wstring_view s, size_t from) {
  size_t end = from + kSlice;
  if (end >= s.size()) return s.size();
  if (s[end] >= 0xDC00 && s[end] <= 0xDFFF) --end;  // keep a surrogate pair together
  return end;
}
}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
  std::wstring out;
  for (size_t from = 0; from < utf8.size();) {
    const size_t end = Utf8SliceEnd(utf8, from);
    const int inLen = static_cast<int>(end - from);
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data() + from, inLen, nullptr, 0);
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data() + from, inLen, out.data() + at, n);
    from = end;
  }
  return out;
}

std::string WideToUtf8(std::wstring_view wide) {
  std::string out;
  for (size_t from = 0; from < wide.size();) {
    const size_t end = WideSliceEnd(wide, from);
    const int inLen = static_cast<int>(end - from);
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data() + from, inLen, nullptr, 0, nullptr, nullptr);
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, wide.data() + from, inLen, out.data() + at, n, nullptr,
                        nullptr);
    from = end;
  }
  return out;
}

}  // namespace kelvara::toolkit
