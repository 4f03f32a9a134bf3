#include "SearchWords.h"

#include "CaseFold.h"
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

// Index positions [first, last) whose folded key begins with `prefix`: a binary search for the
// first, which also narrows where the second, for the end of the range, has to look.
std::pair<std::size_t, std::size_t> PrefixRange(const Dictionary& dict, std::string_view prefix) {
  const std::uint64_t head = Dictionary::HeadOf(prefix);
  // The bytes of a head that the prefix covers.
  const std::uint64_t mask = prefix.size() >= 8 ? ~std::uint64_t{0}
                                                : ~(~std::uint64_t{0} >> (8 * prefix.size()));
  auto less = [&](std::size_t i) {  // FoldedKey(i) < prefix
    const std::uint64_t h = dict.KeyHead(i);
    return h != head ? h < head : dict.FoldedKey(i) < prefix;
  };
  auto beginsWith = [&](std::size_t i) {
    if ((dict.KeyHead(i) & mask) != (head & mask)) return false;
    return prefix.size() <= 8 || dict.FoldedKey(i).starts_with(prefix);
  };
  std::size_t lo = 0, hi = dict.size(), past = dict.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (less(mid)) {
      lo = mid + 1;
    } else {
      hi = mid;
      if (!beginsWith(mid)) past = mid;
    }
  }
  const std::size_t first = lo;
  hi = past;
  while (lo < hi) {  // first key that does not begin with prefix
    const std::size_t mid = lo + (hi - lo) / 2;
    if (beginsWith(mid)) lo = mid + 1; else hi = mid;
  }
  return {first, lo};
}

}  // namespace

Matches FindMatches(const Dictionary& dict, std::string_view wordUtf8) {
  // What the user types has no pattern characters: fold it and search, nothing more.
  if (wordUtf8.find_first_of("?#[*") == std::string_view::npos) {
    std::string prefix;
    prefix.reserve(wordUtf8.size());
    AppendFolded(wordUtf8, prefix, /*strict=*/false);
    const auto [first, last] = PrefixRange(dict, prefix);
    return MatchesBuilder::Range(dict, first, last - first);
  }
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
