#include "CaseFold.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "Utf8.h"

namespace kelvara {
namespace {

struct FoldRun {
  char32_t first;
  char32_t last;
  std::int32_t step;
  std::int32_t delta;
};

constexpr FoldRun kRuns[] = {
#include "CaseFoldTable.inc"
};

const FoldRun* FindRun(char32_t cp) {
  // Runs are sorted and do not overlap: the last run starting at or before cp.
  const auto* end = std::end(kRuns);
  const auto* it = std::upper_bound(std::begin(kRuns), end, cp,
                                    [](char32_t c, const FoldRun& r) { return c < r.first; });
  if (it == std::begin(kRuns)) return nullptr;
  --it;
  if (cp > it->last || (cp - it->first) % static_cast<char32_t>(it->step) != 0) return nullptr;
  return it;
}

}  // namespace

char32_t FoldCase(char32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
  const FoldRun* run = FindRun(cp);
  return run ? static_cast<char32_t>(static_cast<std::int32_t>(cp) + run->delta) : cp;
}

bool AnyOtherCaseInRange(char32_t folded, char32_t lo, char32_t hi) {
  for (const FoldRun& run : kRuns) {
    const auto source = static_cast<std::int64_t>(folded) - run.delta;
    if (source < run.first || source > run.last || source < lo || source > hi) continue;
    if ((source - run.first) % run.step == 0) return true;
  }
  return false;
}

bool AppendFolded(std::string_view text, std::string& out, bool strict) {
  const char* p = text.data();
  const char* limit = p + text.size();
  while (p < limit) {
    const auto b = static_cast<unsigned char>(*p);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b));
      ++p;
      continue;
    }
    char32_t cp;
    std::size_t n = utf8::Decode(p, limit, &cp);
    if (n == 0) {
      if (strict) return false;
      cp = utf8::kReplacement;
      n = 1;
    }
    utf8::Append(out, FoldCase(cp));
    p += n;
  }
  return true;
}

namespace {

// Walks both texts while their folded characters agree; `prefixOnly` makes an ended `b` a match.
int CompareFoldedImpl(std::string_view a, std::string_view b, bool prefixOnly) {
  const char* p = a.data();
  const char* const pEnd = p + a.size();
  const char* q = b.data();
  const char* const qEnd = q + b.size();
  while (p < pEnd && q < qEnd) {
    const auto x = static_cast<unsigned char>(*p);
    const auto y = static_cast<unsigned char>(*q);
    if ((x | y) < 0x80) {  // the common case: two ASCII bytes
      const int fx = (x >= 'A' && x <= 'Z') ? x + 32 : x;
      const int fy = (y >= 'A' && y <= 'Z') ? y + 32 : y;
      if (fx != fy) return fx < fy ? -1 : 1;
      ++p;
      ++q;
      continue;
    }
    const char32_t cx = NextFolded(p, pEnd);
    const char32_t cy = NextFolded(q, qEnd);
    if (cx != cy) return cx < cy ? -1 : 1;
  }
  if (q == qEnd) return (prefixOnly || p == pEnd) ? 0 : 1;
  return -1;
}

}  // namespace

int CompareFolded(std::string_view a, std::string_view b) { return CompareFoldedImpl(a, b, false); }

int CompareFoldedToPrefix(std::string_view text, std::string_view prefix) {
  return CompareFoldedImpl(text, prefix, true);
}

}  // namespace kelvara
