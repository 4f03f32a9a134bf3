// Unicode simple case folding (one code point to one), the whole table, used to compare
// headwords without regard to letter case.
#pragma once

#include <string>
#include <string_view>

namespace kelvara {

char32_t FoldCase(char32_t cp);

// True if some code point other than `folded` itself folds to `folded` and lies in [lo, hi].
bool AnyOtherCaseInRange(char32_t folded, char32_t lo, char32_t hi);

// Appends the folded form of UTF-8 text. Returns false, with `out` partly written, at the first
// invalid byte when `strict`; otherwise an invalid byte folds to U+FFFD.
bool AppendFolded(std::string_view text, std::string& out, bool strict);

}  // namespace kelvara
