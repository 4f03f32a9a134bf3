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

Matches FindMatches(const Dictionary& dict, std::string_view wordUtf8) {
  // What the user types has no pattern characters: fold it and search, nothing more.
  if (wordUtf8.find_first_of("?#[*") == std::string_view::npos) {
    std::string prefix;
    prefix.reserve(wordUtf8.size());
    AppendFolded(wordUtf8, prefix, /*strict=*/false);
    const auto [first, last] = dict.PrefixRange(prefix);
    return MatchesBuilder::Range(dict, first, last - first);
  }
  const Pattern pattern(wordUtf8);
  const auto [first, last] = dict.PrefixRange(pattern.LiteralPrefix());
  if (pattern.IsPlainPrefix()) return MatchesBuilder::Range(dict, first, last - first);
  std::vector<std::uint32_t> positions;
  for (std::size_t i = first; i < last; ++i) {
    if (pattern.MatchesAfterPrefix(dict.HeadwordAt(i))) positions.push_back(static_cast<std::uint32_t>(i));
  }
  return MatchesBuilder::Positions(dict, std::move(positions));
}

SearchResult SearchWords(const Dictionary& dict, std::string_view wordUtf8) {
  SearchResult result;
  // Blocks are read as the search needs them: damage met on the way shows as a message, never
  // as a shorter list passed off as the whole answer.
  const std::uint64_t damageBefore = dict.DamageEvents();
  result.matches = FindMatches(dict, wordUtf8);
  std::optional<std::string> meaning =
      result.matches.empty() ? std::optional<std::string>(NotFoundText) : result.matches.Meaning(0);
  result.damaged = !meaning || dict.DamageEvents() != damageBefore;
  result.meaningText = result.damaged ? std::string(DamagedMeaningText) : std::move(*meaning);
  return result;
}

}  // namespace kelvara
