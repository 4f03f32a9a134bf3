#include "SearchWords.h"

#include "Pattern.h"

namespace kelvara {

class MatchesBuilder {
 public:
  static Matches Range(const Dictionary& dict, std::size_t first, std::size_t count) {
    Matches m;
    m.dict_ = &dict;
    m.first_ = first;
    m.count_ = count;
    return m;
  }
  static Matches Positions(const Dictionary& dict, std::vector<std::uint32_t> positions) {
    Matches m;
    m.dict_ = &dict;
    m.positions_ = std::move(positions);
    return m;
  }
};

namespace {

// Index positions [first, last) whose folded key begins with `prefix`: two binary searches.
std::pair<std::size_t, std::size_t> PrefixRange(const Dictionary& dict, std::string_view prefix) {
  std::size_t lo = 0, hi = dict.size();
  while (lo < hi) {  // first key >= prefix
    const std::size_t mid = lo + (hi - lo) / 2;
    if (dict.FoldedKey(mid) < prefix) lo = mid + 1; else hi = mid;
  }
  const std::size_t first = lo;
  hi = dict.size();
  while (lo < hi) {  // first key that does not begin with prefix
    const std::size_t mid = lo + (hi - lo) / 2;
    if (dict.FoldedKey(mid).substr(0, prefix.size()) <= prefix) lo = mid + 1; else hi = mid;
  }
  return {first, lo};
}

}  // namespace

Matches FindMatches(const Dictionary& dict, std::string_view wordUtf8) {
  const Pattern pattern(wordUtf8);
  const auto [first, last] = PrefixRange(dict, pattern.LiteralPrefix());
  if (pattern.IsPlainPrefix()) return MatchesBuilder::Range(dict, first, last - first);
  std::vector<std::uint32_t> positions;
  for (std::size_t i = first; i < last; ++i) {
    if (pattern.MatchesAfterPrefix(dict.FoldedKey(i))) positions.push_back(static_cast<std::uint32_t>(i));
  }
  return MatchesBuilder::Positions(dict, std::move(positions));
}

SearchResult SearchWords(const Dictionary& dict, std::string_view wordUtf8) {
  SearchResult result;
  result.matches = FindMatches(dict, wordUtf8);
  result.meaningText = result.matches.empty() ? std::string(NotFoundText)
                                              : std::string(result.matches.Meaning(0));
  return result;
}

}  // namespace kelvara
