#include "Suggest.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "CaseFold.h"
#include "Resolve.h"
#include "SpellingTrie.h"

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

// True when the first n bytes of p are all ASCII; eight at a time.
bool AsciiBytes(const char* p, std::size_t n) {
  std::uint64_t any = 0;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t eight;
    std::memcpy(&eight, p + i, 8);
    any |= eight;
  }
  for (; i < n; ++i) any |= static_cast<unsigned char>(p[i]);
  return (any & 0x8080808080808080u) == 0;
}

// A depth-first walk of the sorted index as a trie. Each node is a beginning shared by a run of
// headwords, with one row of the distance table; a child is entered only when its row can still
// lead to kMostEdits or fewer; once `enough` headwords within one edit are found, to one. A character that occurs nowhere in the word gives every child the same row, so
// when that row is already too far, only the word's own characters are looked for.
// The runs are found in the index itself, by the character at the node's depth: headwords that
// share a beginning lie together, ordered by their next character.
class EditWalk {
 public:
  EditWalk(const Dictionary& dict, std::u32string q, std::size_t enough)
      : dict_(dict), trie_(dict.SuggestionTrie()), enough_(enough), q_(std::move(q)), m_(q_.size()), width_(m_ + 1), maxDepth_(m_ + kMostEdits + 1),
        rows_((maxDepth_ + 1) * width_, kFar), letters_(maxDepth_ + 1), asciiLetters_(maxDepth_ + 1), qAfter_(m_ + 2, 0) {
    for (std::size_t j = 0; j <= std::min<std::size_t>(m_, kMostEdits); ++j) rows_[j] = static_cast<int>(j);
    for (std::size_t d = 1; d <= maxDepth_; ++d) {
      LettersFor(d, letters_[d]);
      for (const char32_t c : letters_[d])
        if (c < 128) asciiLetters_[d][c >> 6] |= std::uint64_t{1} << (c & 63);
    }
    for (std::size_t j = m_; j-- > 0;) qAfter_[j] = qAfter_[j + 1] | SpellingTrie::LetterBit(q_[j]);
  }

  std::vector<SpellingMatch> Run() {
    TrieNode(0, 0, dict_.size(), 0);
    return std::move(found_);
  }

 private:
  // The headword at `position`, at `distance`, when within reach. Once enough lie within one
  // edit, the walk looks no further: the list is filled nearest first.
  void Found(std::size_t position, int distance) {
    if (distance > reach_) return;
    found_.push_back({position, distance});
    if (distance <= 1 && ++near_ >= enough_) reach_ = std::min(reach_, 1);
  }

  // Row d for the character c after path_[0..d-1); returns the row's least cell. Only the band
  // |d - j| <= kMostEdits is computed: every cell outside it is more than kMostEdits away and
  // stays kFar, which is all that the cells inside need to know of it.
  int Row(std::size_t d, char32_t c) {
    int* row = &rows_[d * width_];
    const int* up = row - width_;
    const std::size_t from = d > kMostEdits ? d - kMostEdits : 0;
    const std::size_t to = std::min(m_, d + kMostEdits);
    int best = kFar;
    std::size_t j = from;
    if (j == 0) {
      best = row[0] = std::min(static_cast<int>(d), kFar);
      j = 1;
    }
    // A swap of the last two characters: path_[d - 2] then c against the word's two at j.
    const bool swap = d >= 2;
    const char32_t before = swap ? path_[d - 2] : 0;
    const int* up2 = swap ? row - 2 * width_ : nullptr;
    for (; j <= to; ++j) {
      int v = std::min(up[j], row[j - 1]) + 1;
      v = std::min(v, up[j - 1] + (c == q_[j - 1] ? 0 : 1));
      if (swap && j >= 2 && c == q_[j - 2] && before == q_[j - 1]) v = std::min(v, up2[j - 2] + 1);
      row[j] = std::min(v, kFar);
      best = std::min(best, row[j]);
    }
    return best;
  }

  // Whether a headword of a run may come within reach, given row d, from what the run tells
  // of its headwords: from shortest to longest characters, and after the d that the run shares
  // only the characters in `letters` (LetterBits). The path to a headword's end passes a cell
  // (d, j) of the row, or swaps across it from (d - 1, j - 1) to (d + 1, j + 1) at no less cost
  // than row[j]. From there on, the rest of the word and the rest of the headword differ in length
  // by at least the gap between m - j and every length from shortest - d to longest - d, and
  // each character of the word after its j + 1 first that the run lacks costs an edit: the
  // cell's value plus the larger of the two is a lower bound.
  bool MayComeNear(std::size_t d, unsigned shortest, unsigned longest, std::uint32_t letters) const {
    const int* row = &rows_[d * width_];
    const std::size_t from = d > kMostEdits ? d - kMostEdits : 0;
    const std::size_t to = std::min(m_, d + kMostEdits);
    const auto fewest = static_cast<long>(shortest) - static_cast<long>(d);
    const auto most = static_cast<long>(longest) - static_cast<long>(d);
    for (std::size_t j = from; j <= to; ++j) {
      const long left = reach_ - row[j];  // edits that may still be spent after this cell
      if (left < 0) continue;
      const auto rest = static_cast<long>(m_ - j);
      const long gap = rest > most ? rest - most : rest < fewest ? fewest - rest : 0;
      if (gap > left) continue;
      std::uint32_t lacking = qAfter_[j + 1] & ~letters;
      // More than `left` bits set: cleared one by one, at most left + 1 times.
      long count = 0;
      for (; lacking != 0 && count <= left; ++count) lacking &= lacking - 1;
      if (count <= left) return true;
    }
    return false;
  }

  // Whether c is among letters_[d]; ASCII by a bit of asciiLetters_[d].
  bool NearLetter(std::size_t d, char32_t c) const {
    if (c < 128) return (asciiLetters_[d][c >> 6] >> (c & 63)) & 1;
    return std::binary_search(letters_[d].begin(), letters_[d].end(), c);
  }

  // The characters that may give row d a cell other than a non-letter would: the word's own
  // characters within the band, as a match or as the first of a swapped pair; ascending.
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

  // The folded character at code point `d` of the headword at `position`, plus one; 0 when the
  // headword is only d characters long. Ordered as the index is: a headword that ends sorts
  // before every longer one with the same beginning. Most headwords are ASCII as far as the
  // walk reads them, and those are read in place; the others are decoded from their start.
  std::uint32_t KeyAt(std::size_t position, std::size_t d) const {
    const std::string_view head = dict_.HeadwordAt(position);
    const std::size_t n = std::min(head.size(), d + 1);
    if (AsciiBytes(head.data(), n)) {
      if (head.size() <= d) return 0;
      const auto b = static_cast<unsigned char>(head[d]);
      return ((b >= 'A' && b <= 'Z') ? b + 32u : b) + 1;
    }
    const char* p = head.data();
    const char* const end = p + head.size();
    for (std::size_t k = 0; p < end; ++k) {
      const char32_t c = NextFolded(p, end);
      if (k == d) return static_cast<std::uint32_t>(c) + 1;
    }
    return 0;
  }

  // The first position in [from, hi) whose key at depth d is not below `key` (above it when
  // `after`). Gallops from `from`, since the run sought mostly begins near it: a short run costs
  // a few reads, a long one twice the reads of a binary search. Always within [from, hi].
  std::size_t Bound(std::size_t from, std::size_t hi, std::size_t d, std::uint32_t key, bool after) const {
    const auto below = [&](std::size_t p) {
      const std::uint32_t k = KeyAt(p, d);
      return after ? k <= key : k < key;
    };
    if (from >= hi || !below(from)) return from;
    std::size_t good = from, bad = hi;
    for (std::size_t step = 1;; step *= 2) {
      const std::size_t probe = good + step;
      if (probe >= hi) break;
      if (!below(probe)) {
        bad = probe;
        break;
      }
      good = probe;
    }
    while (bad - good > 1) {
      const std::size_t mid = good + (bad - good) / 2;
      if (below(mid)) good = mid; else bad = mid;
    }
    return bad;
  }

  // Node below, for the depths the trie holds: `run` is the node's run on level d, and its
  // children are read from the level below instead of searched for.
  void TrieNode(std::size_t d, std::size_t lo, std::size_t hi, std::size_t run) {
    if (d >= SpellingTrie::kDepth) return Node(d, lo, hi);
    const SpellingTrie::Level& down = trie_.levels[d + 1];
    const std::size_t first = trie_.levels[d].firstChild[run], last = trie_.levels[d].firstChild[run + 1];
    // Headwords that are the beginning itself sort first; equal folded texts count once.
    if (lo < (first < last ? down.start[first] : hi)) {
      Found(lo, rows_[d * width_ + m_]);
    }
    if (first == last || d + 1 > maxDepth_) return;
    const bool anyChild = Row(d + 1, kNoLetter) <= reach_;
    // A child by a character that the word does not have near this depth gets this very row.
    int* const row = &rows_[(d + 1) * width_];
    std::array<int, 2 * kMostEdits + 1> otherRow;
    const std::size_t from = d + 1 > kMostEdits ? d + 1 - kMostEdits : 0;
    const std::size_t cells = std::min(m_, d + 1 + kMostEdits) + 1 - from;
    std::copy_n(row + from, cells, otherRow.begin());
    for (std::size_t child = first; child < last; ++child) {
      const char32_t c = down.letter[child];
      if (!NearLetter(d + 1, c)) {
        if (!anyChild) continue;
        std::copy_n(otherRow.begin(), cells, row + from);
      } else if (Row(d + 1, c) > reach_) {
        continue;
      }
      if (!MayComeNear(d + 1, down.shortest[child], down.longest[child], down.letters[child])) continue;
      const std::size_t childHi = child + 1 < last ? down.start[child + 1] : hi;
      path_.push_back(c);
      TrieNode(d + 1, down.start[child], childHi, child);
      path_.pop_back();
    }
  }

  // The headwords [lo, hi) begin with path_ (d code points), whose row is rows_[d].
  void Node(std::size_t d, std::size_t lo, std::size_t hi) {
    std::size_t pos = lo;
    // Headwords that are the beginning itself sort first; equal folded texts count once.
    if (pos < hi && KeyAt(pos, d) == 0) {
      Found(pos, rows_[d * width_ + m_]);
      pos = Bound(pos, hi, d, 0, /*after=*/true);
    }
    if (pos >= hi || d + 1 > maxDepth_) return;
    if (Row(d + 1, kNoLetter) <= reach_) {
      // Every child may come near: each run in turn.
      while (pos < hi) {
        const std::uint32_t key = KeyAt(pos, d);
        const std::size_t end = Bound(pos, hi, d, key, /*after=*/true);
        Child(d, static_cast<char32_t>(key - 1), pos, end);
        pos = end;
      }
      return;
    }
    for (const char32_t letter : letters_[d + 1]) {
      if (Row(d + 1, letter) > reach_) continue;
      const std::uint32_t key = static_cast<std::uint32_t>(letter) + 1;
      pos = Bound(pos, hi, d, key, /*after=*/false);
      if (pos >= hi) return;
      if (KeyAt(pos, d) != key) continue;
      const std::size_t end = Bound(pos, hi, d, key, /*after=*/true);
      Child(d, letter, pos, end);
      pos = end;
    }
  }

  // Enters the child of path_ by c, the headwords [lo, hi), when it can still come near enough.
  void Child(std::size_t d, char32_t c, std::size_t lo, std::size_t hi) {
    if (Row(d + 1, c) > reach_) return;
    path_.push_back(c);
    Node(d + 1, lo, hi);
    path_.pop_back();
  }

  // Stands for any character that the word does not contain.
  static constexpr char32_t kNoLetter = 0xFFFFFFFF;
  // Any distance beyond kMostEdits.
  static constexpr int kFar = kMostEdits + 1;
  const Dictionary& dict_;
  const SpellingTrie& trie_;
  int reach_ = kMostEdits;  // the most edits a headword found may be away; the band stays as wide
  const std::size_t enough_;
  std::size_t near_ = 0;  // headwords found within one edit
  const std::u32string q_;
  const std::size_t m_, width_, maxDepth_;
  std::vector<int> rows_;
  std::vector<std::u32string> letters_;  // LettersFor each depth, computed once
  std::vector<std::array<std::uint64_t, 2>> asciiLetters_;  // the ASCII ones of letters_, one bit each
  std::vector<std::uint32_t> qAfter_;    // [j]: the word's characters from the j-th on, as LetterBits
  std::u32string path_;
  std::vector<SpellingMatch> found_;
};

}  // namespace

std::vector<SpellingMatch> WithinTwoEdits(const Dictionary& dict, std::string_view word, std::size_t enough) {
  // A code point takes at most four bytes: anything longer is too long without decoding it.
  if (word.size() > 4 * kLongestSuggestedWord) return {};
  std::u32string q = FoldedCodePoints(word);
  if (q.empty() || q.size() > kLongestSuggestedWord) return {};
  return EditWalk(dict, std::move(q), enough).Run();
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
  std::vector<std::string> out;
  if (limit == 0) return out;
  const std::string_view trimmed = TrimBlanks(word);
  // The nearest come first: once a list's worth lies within one edit (most short words), the
  // walk need not look two edits away, where a short word has many times more to visit.
  const std::vector<SpellingMatch> found = WithinTwoEdits(dict, trimmed, limit);
  // Nearest first: one distance after another, and only as far as the list is not yet full.
  // Commonness reads a meaning (a block decrypted), so it is asked only of the headwords at the
  // distances that reach the list.
  struct Ranked {
    std::size_t position;
    std::size_t commonness;
  };
  std::vector<Ranked> group;
  for (int distance = 0; distance <= kMostEdits && out.size() < limit; ++distance) {
    group.clear();
    for (const SpellingMatch& f : found)
      if (f.distance == distance) group.push_back({f.position, Commonness(dict, f.position)});
    // Stable: among equally common ones, index order.
    std::stable_sort(group.begin(), group.end(), [](const Ranked& a, const Ranked& b) { return a.commonness > b.commonness; });
    for (std::size_t k = 0; k < group.size() && out.size() < limit; ++k) out.emplace_back(dict.HeadwordAt(group[k].position));
  }
  return out;
}

std::vector<std::string> Suggest(const Dictionary& dict, std::string_view word, std::size_t limit) {
  std::vector<std::string> out;
  if (limit == 0) return out;
  const std::string_view trimmed = TrimBlanks(word);
  if (std::string base = BaseFormHeadword(dict, trimmed); !base.empty()) out.push_back(std::move(base));
  // Spelling suggestions are one per folded text, so only the base form can repeat among them:
  // `limit` of them always fill the list (one more than the room the base form leaves), and
  // asking no more spares ranking the farther ones.
  for (std::string& s : SpellingSuggestions(dict, trimmed, limit)) {
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
    // On one line after the label, so that the whole text fits the meaning box: the user sees
    // every suggestion without scrolling, and the box is not laid out taller than it shows.
    result.meaningText += "\r\n\r\n";
    result.meaningText += kSuggestionsLabel;
    std::string_view separator = " ";
    for (const std::string& s : result.suggestions) {
      result.meaningText += separator;
      result.meaningText += s;
      separator = kSuggestionSeparator;
    }
  }
  return result;
}

}  // namespace kelvara
