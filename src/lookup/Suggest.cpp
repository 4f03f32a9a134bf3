#include "Suggest.h"

#include <algorithm>

#include "CaseFold.h"
#include "Resolve.h"

namespace kelvara {
namespace {

std::u32string FoldedCodePoints(std::string_view text) {
  std::u32string out;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) out.push_back(NextFolded(p, end));
  return out;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::vector<SpellingMatch> WithinTwoEdits(const Dictionary& dict, std::string_view word) {
  std::vector<SpellingMatch> found;
  const std::u32string q = FoldedCodePoints(word);
  const std::size_t m = q.size();
  if (m == 0 || m > kLongestSuggestedWord) return found;
  // Only headwords at most m + kMostEdits long can be near enough; one row deeper is always out.
  const std::size_t maxDepth = m + kMostEdits + 1;
  const std::size_t width = m + 1;
  std::vector<int> rows((maxDepth + 1) * width);
  for (std::size_t j = 0; j <= m; ++j) rows[j] = static_cast<int>(j);
  std::u32string prev;  // the beginning whose rows are in the table, one row per code point
  std::u32string cur;
  std::string prefix;
  const std::size_t n = dict.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::string_view head = dict.HeadwordAt(i);
    cur.clear();
    const char* p = head.data();
    const char* const end = p + head.size();
    while (p < end && cur.size() < maxDepth) cur.push_back(NextFolded(p, end));
    const bool tooLong = p < end;
    std::size_t common = 0;
    while (common < prev.size() && common < cur.size() && prev[common] == cur[common]) ++common;
    // Equal folded texts are neighbours in the index: the first stands for them all.
    const bool sameAsPrevious = common == cur.size() && prev.size() == cur.size() && i > 0;
    if (tooLong && common == cur.size()) {
      // Cut at maxDepth and no row of its own to compute: it shares the pruned ones. Unreachable
      // in practice, since the row at maxDepth always prunes.
      continue;
    }
    bool pruned = false;
    for (std::size_t d = common + 1; d <= cur.size(); ++d) {
      int* row = &rows[d * width];
      const int* up = &rows[(d - 1) * width];
      const int* up2 = d >= 2 ? &rows[(d - 2) * width] : nullptr;
      row[0] = static_cast<int>(d);
      int best = row[0];
      for (std::size_t j = 1; j <= m; ++j) {
        int v = std::min(up[j] + 1, row[j - 1] + 1);
        v = std::min(v, up[j - 1] + (cur[d - 1] == q[j - 1] ? 0 : 1));
        if (up2 && j >= 2 && cur[d - 1] == q[j - 2] && cur[d - 2] == q[j - 1]) v = std::min(v, up2[j - 2] + 1);
        row[j] = v;
        best = std::min(best, v);
      }
      if (best > kMostEdits) {
        // Every headword that begins with these d code points is too far: skip them all.
        prefix.clear();
        for (std::size_t k = 0; k < d; ++k) utf8::Append(prefix, cur[k]);
        const std::size_t last = dict.PrefixRange(prefix).second;
        if (last > i + 1) i = last - 1;
        prev.assign(cur, 0, d - 1);
        pruned = true;
        break;
      }
    }
    if (pruned) continue;
    prev = cur;
    if (tooLong) continue;
    const int distance = rows[cur.size() * width + m];
    if (distance <= kMostEdits && !sameAsPrevious) found.push_back({i, distance});
  }
  return found;
}

std::size_t Commonness(const Dictionary& dict, std::size_t position) {
  std::string folded;
  AppendFolded(dict.HeadwordAt(position), folded, /*strict=*/false);
  folded.push_back(' ');
  const auto [first, last] = dict.PrefixRange(folded);
  std::size_t senses = 0;
  const std::string_view meaning = dict.Meaning(dict.SortedRow(position));
  if (!meaning.empty()) {
    senses = 1;
    // Senses are separated by the Persian comma or a semicolon.
    for (std::size_t at = meaning.find("\xD8\x8C"); at != std::string_view::npos; at = meaning.find("\xD8\x8C", at + 2)) ++senses;
    senses += static_cast<std::size_t>(std::count(meaning.begin(), meaning.end(), ';'));
  }
  return (last - first) + senses;
}

std::vector<std::string> SpellingSuggestions(const Dictionary& dict, std::string_view word, std::size_t limit) {
  std::vector<SpellingMatch> found = WithinTwoEdits(dict, TrimBlanks(word));
  struct Ranked {
    SpellingMatch match;
    std::size_t commonness;
  };
  std::vector<Ranked> ranked;
  ranked.reserve(found.size());
  for (const SpellingMatch& f : found) ranked.push_back({f, Commonness(dict, f.position)});
  std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
    if (a.match.distance != b.match.distance) return a.match.distance < b.match.distance;
    return a.commonness > b.commonness;
  });
  std::vector<std::string> out;
  for (std::size_t k = 0; k < ranked.size() && out.size() < limit; ++k)
    out.emplace_back(dict.HeadwordAt(ranked[k].match.position));
  return out;
}

std::vector<std::string> Suggest(const Dictionary& dict, std::string_view word, std::size_t limit) {
  std::vector<std::string> out;
  if (limit == 0) return out;
  const std::string_view trimmed = TrimBlanks(word);
  if (std::string base = BaseFormHeadword(dict, trimmed); !base.empty()) out.push_back(std::move(base));
  for (std::string& s : SpellingSuggestions(dict, trimmed, limit + 1)) {
    if (out.size() >= limit) break;
    const bool repeat = std::any_of(out.begin(), out.end(), [&](const std::string& o) { return CompareFolded(o, s) == 0; });
    if (!repeat) out.push_back(std::move(s));
  }
  return out;
}

SearchResult LookUpWord(const Dictionary& dict, std::string_view wordUtf8) {
  SearchResult result = SearchWords(dict, wordUtf8);
  if (!result.matches.empty()) return result;
  result.suggestions = Suggest(dict, wordUtf8);
  if (!result.suggestions.empty()) {
    result.meaningText += "\r\n\r\n";
    result.meaningText += kSuggestionsLabel;
    for (const std::string& s : result.suggestions) {
      result.meaningText += "\r\n";
      result.meaningText += s;
    }
  }
  return result;
}

}  // namespace kelvara
