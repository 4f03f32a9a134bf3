// Unicode simple case folding (one code point to one), the whole table, used to compare
// headwords without regard to letter case.
#pragma once

#include <string>
#include <string_view>

#include "Utf8.h"

namespace kelvara {

char32_t FoldCase(char32_t cp);

// True if some code point other than `folded` itself folds to `folded` and lies in [lo, hi].
bool AnyOtherCaseInRange(char32_t folded, char32_t lo, char32_t hi);

// Appends the folded form of UTF-8 text. Returns false, with `out` partly written, at the first
// invalid byte when `strict`; otherwise an invalid byte folds to U+FFFD.
bool AppendFolded(std::string_view text, std::string& out, bool strict);

// The folded character at p (p < limit; an invalid byte reads as U+FFFD), and p moved past it.
// Lets a comparison fold as it reads instead of keeping folded copies.
inline char32_t NextFolded(const char*& p, const char* limit) {
  const auto b = static_cast<unsigned char>(*p);
  if (b < 0x80) {
    ++p;
    return (b >= 'A' && b <= 'Z') ? b + 32u : b;
  }
  char32_t cp;
  p += utf8::DecodeLenient(p, limit, &cp);
  return FoldCase(cp);
}

// Compares the folded forms of two texts code point by code point, which is the byte order of
// their folded UTF-8: negative, zero or positive.
int CompareFolded(std::string_view a, std::string_view b);

// Where `text` stands against the texts that begin with `prefix`, both folded: zero when the
// folded text begins with the folded prefix, negative when it sorts before all of those,
// positive when after.
int CompareFoldedToPrefix(std::string_view text, std::string_view prefix);

}  // namespace kelvara
