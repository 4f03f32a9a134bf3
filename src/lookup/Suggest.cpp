#include "Suggest.h"

#include <algorithm>
#include <cstdint>

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

namespace {

// The folded character at `index` (counting code points) of a headword; false when it is shorter.
bool FoldedCharAt(std::string_view head, std::size_t index, char32_t& c) {
  const char* p = head.data();
  const char* const end = p + head.size();
  for (std::size_t k = 0; p < end; ++k) {
    c = NextFolded(p, end);
    if (k == index) return true;
  }
  return false;
}

// A depth-first walk of the sorted index as a trie. Each node is a beginning shared by a run of
// headwords, with one row of the distance table; a child is entered only when its row can still
// lead to kMostEdits or fewer. A character that occurs nowhere in the word gives every child the
// same row, so when that row is already too far, only the word's own characters are looked for.
class EditWalk {
 public:
  EditWalk(const Dictionary& dict, std::u32string q)
      : dict_(dict), q_(std::move(q)), m_(q_.size()), width_(m_ + 1), maxDepth_(m_ + kMostEdits + 1),
        rows_((maxDepth_ + 1) * width_, kFar) {
    for (std::size_t j = 0; j <= std::min<std::size_t>(m_, kMostEdits); ++j) rows_[j] = static_cast<int>(j);
  }

  std::vector<SpellingMatch> Run() {
    Node(0, 0, dict_.size());
    return std::move(found_);
  }

 private:
  // Row d for the character c after path_[0..d-1); returns the row's least cell. Only the band
  // |d - j| <= kMostEdits is computed: every cell outside it is more than kMostEdits away and
  // stays kFar, which is all that the cells inside need to know of it.
  int Row(std::size_t d, char32_t c) {
    int* row = &rows_[d * width_];
    const int* up = &rows_[(d - 1) * width_];
    const int* up2 = d >= 2 ? &rows_[(d - 2) * width_] : nullptr;
    const std::size_t from = d > kMostEdits ? d - kMostEdits : 0;
    const std::size_t to = std::min(m_, d + kMostEdits);
    int best = kFar;
    for (std::size_t j = from; j <= to; ++j) {
      int v;
      if (j == 0) {
        v = static_cast<int>(d);
      } else {
        v = std::min(up[j] + 1, row[j - 1] + 1);
        v = std::min(v, up[j - 1] + (c == q_[j - 1] ? 0 : 1));
        if (up2 && j >= 2 && c == q_[j - 2] && path_[d - 2] == q_[j - 1]) v = std::min(v, up2[j - 2] + 1);
      }
      row[j] = std::min(v, kFar);
      best = std::min(best, row[j]);
    }
    return best;
  }

  // The characters that may give row d a cell other than a non-letter would: the word's own
  // characters within the band, as a match or as the first of a swapped pair.
  void LettersFor(std::size_t d, std::u32string& letters) const {
    letters.clear();
    const std::size_t from = d > kMostEdits ? d - kMostEdits : 1;
    const std::size_t to = std::min(m_, d + kMostEdits);
    for (std::size_t j = std::max<std::size_t>(from, 1); j <= to; ++j) {
      letters.push_back(q_[j - 1]);
      if (j >= 2) letters.push_back(q_[j - 2]);
    }
    std::sort(letters.begin(), letters.end());
    letters.erase(std::unique(letters.begin(), letters.end()), letters.end());
  }

  // The headwords [lo, hi) begin with path_ (d code points), whose row is rows_[d].
  void Node(std::size_t d, std::size_t lo, std::size_t hi) {
    std::size_t pos = lo;
    char32_t c = 0;
    // Headwords that are the beginning itself sort first; equal folded texts count once.
    if (pos < hi && !FoldedCharAt(dict_.HeadwordAt(pos), d, c)) {
      if (const int distance = rows_[d * width_ + m_]; distance <= kMostEdits) found_.push_back({pos, distance});
      while (pos < hi && !FoldedCharAt(dict_.HeadwordAt(pos), d, c)) ++pos;
    }
    if (pos >= hi || d + 1 > maxDepth_) return;
    const bool anyChild = Row(d + 1, kNoLetter) <= kMostEdits;
    if (anyChild) {
      while (pos < hi) {
        FoldedCharAt(dict_.HeadwordAt(pos), d, c);
        pos = Child(d, c, pos, hi, /*known=*/true);
      }
    } else {
      std::u32string letters;
      LettersFor(d + 1, letters);
      for (char32_t letter : letters) Child(d, letter, lo, hi, /*known=*/false);
    }
  }

  // Enters the child of path_ by c when it can still come near enough; returns the end of its
  // run of headwords (when `known` to exist) so that the caller moves past it. The index's own
  // prefix search finds the run: it compares integers, cheaper than reading headwords.
  std::size_t Child(std::size_t d, char32_t c, std::size_t lo, std::size_t hi, bool known) {
    path_.push_back(c);
    const std::size_t bytes = prefix_.size();
    utf8::Append(prefix_, c);
    std::size_t end = hi;
    const bool near = Row(d + 1, c) <= kMostEdits;
    if (near || known) {
      const auto [first, last] = dict_.PrefixRange(prefix_);
      end = std::min(std::max(last, lo), hi);
      if (near && first < last) Node(d + 1, std::max(first, lo), end);
    }
    prefix_.resize(bytes);
    path_.pop_back();
    return end;
  }

  // Stands for any character that the word does not contain.
  static constexpr char32_t kNoLetter = 0xFFFFFFFF;
  // Any distance beyond kMostEdits.
  static constexpr int kFar = kMostEdits + 1;
  const Dictionary& dict_;
  const std::u32string q_;
  const std::size_t m_, width_, maxDepth_;
  std::vector<int> rows_;
  std::u32string path_;
  std::string prefix_;  // path_ in UTF-8
  std::vector<SpellingMatch> found_;
};

}  // namespace

std::vector<SpellingMatch> WithinTwoEdits(const Dictionary& dict, std::string_view word) {
  // A code point takes at most four bytes: anything longer is too long without decoding it.
  if (word.size() > 4 * kLongestSuggestedWord) return {};
  std::u32string q = FoldedCodePoints(word);
  if (q.empty() || q.size() > kLongestSuggestedWord) return {};
  return EditWalk(dict, std::move(q)).Run();
}

std::size_t Commonness(const Dictionary& dict, std::size_t position) {
  std::string folded;
  AppendFolded(dict.HeadwordAt(position), folded, /*strict=*/false);
  folded.push_back(' ');
  const auto [first, last] = dict.PrefixRange(folded);
  std::size_t senses = 0;
  // A meaning in a damaged block counts no senses; the lookup itself reports the damage.
  const std::string meaning = dict.Meaning(dict.SortedRow(position)).value_or(std::string());
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
