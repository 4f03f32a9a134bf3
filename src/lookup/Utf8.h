// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvara::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at p (p < limit). Returns its length in bytes, 0 if the bytes there are
// not valid UTF-8 (then *cp is undefined).
std::size_t Decode(const char* p, const char* limit, char32_t* cp);

// As Decode, but an invalid byte reads as U+FFFD of length 1, so a scan always advances.
inline std::size_t DecodeLenient(const char* p, const char* limit, char32_t* cp) {
  const auto b = static_cast<unsigned char>(*p);
  if (b < 0x80) {
    *cp = b;
    return 1;
  }
  const std::size_t n = Decode(p, limit, cp);
  if (n == 0) {
    *cp = kReplacement;
    return 1;
  }
  return n;
}

void Append(std::string& out, char32_t cp);

// Offset of the first invalid byte, or npos when the whole text is valid.
std::size_t FindInvalid(std::string_view text);
inline bool IsValid(std::string_view text) { return FindInvalid(text) == std::string_view::npos; }

// Converts UTF-16 (for example a Windows command line) to UTF-8; unpaired surrogates become
// U+FFFD.
std::string FromUtf16(std::u16string_view text);

}  // namespace kelvara::utf8
