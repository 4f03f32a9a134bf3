// Suggestions when nothing matches: the walk over the index finds exactly what a plain
// distance computation over every headword finds, ranked nearest first and commoner first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <tuple>

#include "TestDictionary.h"
#include "lookup/CaseFold.h"
#include "lookup/Resolve.h"
#include "lookup/SpellingTrie.h"
#include "lookup/Suggest.h"

namespace kelvara {
namespace {

using test::Make;
using test::MakeWords;
using V = std::vector<std::string>;

std::u32string Folded(std::string_view a) {
  std::u32string x;
  for (const char* p = a.data(); p < a.data() + a.size();) x.push_back(NextFolded(p, a.data() + a.size()));
  return x;
}

// Restricted Damerau-Levenshtein (adjacent transpositions, each character edited once), the
// textbook table over whole strings of folded code points.
int Reference(const std::u32string& x, const std::u32string& y) {
  const std::size_t w = y.size() + 1;
  thread_local std::vector<int> d;
  d.assign((x.size() + 1) * w, 0);
  auto at = [&](std::size_t i, std::size_t j) -> int& { return d[i * w + j]; };
  for (std::size_t i = 0; i <= x.size(); ++i) at(i, 0) = static_cast<int>(i);
  for (std::size_t j = 0; j <= y.size(); ++j) at(0, j) = static_cast<int>(j);
  for (std::size_t i = 1; i <= x.size(); ++i) {
    for (std::size_t j = 1; j <= y.size(); ++j) {
      at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + (x[i - 1] == y[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1]) at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
    }
  }
  return at(x.size(), y.size());
}
int Reference(std::string_view a, std::string_view b) { return Reference(Folded(a), Folded(b)); }

using Near = std::vector<std::pair<std::string, int>>;

// Every headword within two edits of q, one per folded text, in index order, with its distance.
Near ComparedWithEvery(const Dictionary& dict, std::string_view q) {
  Near expected;
  std::string lastFolded;
  for (std::size_t i = 0; i < dict.size(); ++i) {
    const std::string_view h = dict.HeadwordAt(i);
    std::string folded;
    AppendFolded(h, folded, false);
    if (i > 0 && folded == lastFolded) continue;  // one per folded text
    lastFolded = folded;
    if (const int dist = Reference(h, q); dist <= kMostEdits) expected.emplace_back(std::string(h), dist);
  }
  return expected;
}

Near Walked(const Dictionary& dict, std::string_view q, std::size_t enough = SIZE_MAX) {
  Near got;
  for (const SpellingMatch& m : WithinTwoEdits(dict, q, enough))
    got.emplace_back(std::string(dict.HeadwordAt(m.position)), m.distance);
  return got;
}

// The walk against every headword compared: within two edits; and until `enough` lie within
// one, when those within one are all found and the others only as met before (fewer than
// `enough` within one: all, as without it).
void ExpectWalksFind(const Dictionary& dict, std::string_view q) {
  const Near every = ComparedWithEvery(dict, q);
  ASSERT_EQ(Walked(dict, q), every) << "query '" << q << "'";
  Near withinOne;
  for (const auto& e : every)
    if (e.second <= 1) withinOne.push_back(e);
  for (const std::size_t enough : {std::size_t{1}, std::size_t{3}, kMostSuggestions}) {
    const Near got = Walked(dict, q, enough);
    Near gotOne;
    for (const auto& g : got) {
      if (g.second <= 1) gotOne.push_back(g);
      ASSERT_NE(std::find(every.begin(), every.end(), g), every.end()) << "query '" << q << "': " << g.first;
    }
    ASSERT_EQ(gotOne, withinOne) << "query '" << q << "', enough " << enough;
    if (withinOne.size() < enough) {
      ASSERT_EQ(got, every) << "query '" << q << "', enough " << enough;
    }
  }
}

TEST(Suggest, TheIndexWalkFindsExactlyWhatEveryHeadwordComparedWouldFind) {
  // Short words over a small alphabet, so that many are near each other, and a few capitals
  // and non-ASCII letters to check that case is ignored across scripts.
  std::mt19937 rng(12);
  const std::string letters[] = {"a", "b", "c", "d", "E", "\xC3\xA9", "\xC3\x89", " "};
  std::vector<WordRow> rows;
  for (int i = 0; i < 800; ++i) {
    std::string w;
    const int len = 1 + static_cast<int>(rng() % 7);
    for (int k = 0; k < len; ++k) w += letters[rng() % std::size(letters)];
    rows.push_back({w, "m"});
  }
  const auto dict = Make(rows);
  for (int trial = 0; trial < 300; ++trial) {
    std::string q;
    const int len = 1 + static_cast<int>(rng() % 8);
    for (int k = 0; k < len; ++k) q += letters[rng() % std::size(letters)];
    ASSERT_NO_FATAL_FAILURE(ExpectWalksFind(*dict, q));
  }
}

// Headwords as a generated dictionary has them: mostly lower-case ASCII words and two-word
// phrases, some capitalised, some with letters whose folded form is another length in UTF-8
// (the Kelvin sign folds to "k", capital sharp s to "ß") or other scripts; meanings with a
// varying number of senses, so that commonness differs and also ties.
std::vector<WordRow> GeneratedRows(std::mt19937& rng, int count) {
  const std::string letters[] = {"a", "e", "i", "o", "n", "r", "s", "t", "l", "c",
                                 "d", "m", "p", "b", "k", "y", "a", "e", "o", "n"};
  const std::string rare[] = {"\xE2\x84\xAA" /* Kelvin sign */, "\xC3\xA9", "\xC3\x89", "\xE1\xBA\x9E",
                              "\xC3\x9F", "\xCF\x82", "\xCE\xA3", "K", "E", "-", "'"};
  auto word = [&] {
    std::string w;
    const int len = 2 + static_cast<int>(rng() % 8);
    for (int k = 0; k < len; ++k) w += rng() % 25 == 0 ? rare[rng() % std::size(rare)] : letters[rng() % std::size(letters)];
    return w;
  };
  std::vector<WordRow> rows;
  std::vector<std::string> made;
  for (int i = 0; i < count; ++i) {
    std::string h = made.empty() || rng() % 6 ? word() : made[rng() % made.size()] + " " + word();
    if (rng() % 15 == 0) h[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(h[0])));
    made.push_back(h);
    std::string meaning = "m";
    for (int k = static_cast<int>(rng() % 4); k > 0; --k) meaning += rng() % 2 ? "\xD8\x8C m" : "; m";
    rows.push_back({h, meaning});
  }
  return rows;
}

// Edits a word the way typing does: one or two letters changed, dropped, added or swapped.
std::string Mistyped(std::string w, std::mt19937& rng) {
  const char* const typed[] = {"a", "e", "o", "s", "t", "k", "\xC3\xA9", "\xE2\x84\xAA", "z"};
  std::u32string cps;
  for (const char* p = w.data(); p < w.data() + w.size();) {
    char32_t c;
    p += utf8::DecodeLenient(p, w.data() + w.size(), &c);
    cps.push_back(c);
  }
  for (int edits = 1 + static_cast<int>(rng() % 2); edits > 0 && !cps.empty(); --edits) {
    const std::size_t at = rng() % cps.size();
    std::string t = typed[rng() % std::size(typed)];
    char32_t c;
    utf8::DecodeLenient(t.data(), t.data() + t.size(), &c);
    switch (rng() % 4) {
      case 0: cps[at] = c; break;
      case 1: cps.erase(at, 1); break;
      case 2: cps.insert(at, 1, c); break;
      default: if (at + 1 < cps.size()) std::swap(cps[at], cps[at + 1]); break;
    }
  }
  std::string out;
  for (char32_t c : cps) utf8::Append(out, c);
  return out;
}

TEST(Suggest, HeadwordsLongAndShortBesideEachOtherAreFoundFromWordsOfAnyLength) {
  // The walk leaves a run whose headwords are all too long or too short for the word: lengths
  // from 1 to 40 share their beginnings, and characters of one, two and three bytes (the Kelvin
  // sign folds to a one-byte "k"), so that only a count of characters, never of bytes, keeps
  // the near ones.
  std::mt19937 rng(40);
  const std::string letters[] = {"a", "b", "k", "\xE2\x84\xAA", "\xC3\xA9", "\xC3\x89"};
  std::vector<WordRow> rows;
  for (int i = 0; i < 1500; ++i) {
    std::string w = i % 3 ? "ab" : "";
    const int len = 1 + static_cast<int>(rng() % 40);
    for (int k = 0; k < len; ++k) w += letters[rng() % std::size(letters)];
    rows.push_back({w, "m"});
  }
  const auto dict = Make(rows);
  for (int trial = 0; trial < 300; ++trial) {
    std::string q = trial % 2 ? Mistyped(rows[rng() % rows.size()][0], rng) : "";
    for (int k = static_cast<int>(trial % 2 ? 0 : 1 + rng() % 44); k > 0; --k) q += letters[rng() % std::size(letters)];
    // Longer words get no spelling suggestions at all.
    if (q.empty() || Folded(q).size() > kLongestSuggestedWord) continue;
    ASSERT_NO_FATAL_FAILURE(ExpectWalksFind(*dict, q));
  }
}

TEST(Suggest, EachRunOfTheTrieKnowsItsHeadwordsLengthsAndCharacters) {
  // What lets the walk leave a run: checked against the headwords themselves, grouped by their
  // first d folded characters, for runs of ASCII and of other characters, capitals among them.
  std::mt19937 rng(18);
  const std::string letters[] = {"a", "b", "z", "K", "\xE2\x84\xAA", "\xC3\xA9", "\xCE\xA3", "-", " "};
  std::vector<WordRow> rows;
  for (int i = 0; i < 2000; ++i) {
    std::string w;
    for (int k = static_cast<int>(rng() % 12); k >= 0; --k) w += letters[rng() % std::size(letters)];
    rows.push_back({w, "m"});
  }
  const auto dict = Make(rows);
  const SpellingTrie trie = BuildSpellingTrie(*dict);
  std::vector<std::u32string> folded;
  for (std::size_t i = 0; i < dict->size(); ++i) folded.push_back(Folded(dict->HeadwordAt(i)));
  for (std::size_t d = 0; d <= SpellingTrie::kDepth; ++d) {
    const SpellingTrie::Level& level = trie.levels[d];
    std::size_t run = 0;
    for (std::size_t i = 0; i < folded.size();) {
      if (folded[i].size() < d) {
        ++i;
        continue;
      }
      // The run: every headword from i on that shares its first d characters.
      std::size_t end = i;
      unsigned shortest = SpellingTrie::kLongLength, longest = 0;
      std::uint32_t after = 0;
      while (end < folded.size() && folded[end].size() >= d && folded[end].compare(0, d, folded[i], 0, d) == 0) {
        shortest = std::min<unsigned>(shortest, static_cast<unsigned>(folded[end].size()));
        longest = std::max<unsigned>(longest, static_cast<unsigned>(folded[end].size()));
        for (std::size_t k = d; k < folded[end].size(); ++k) after |= SpellingTrie::LetterBit(folded[end][k]);
        ++end;
      }
      ASSERT_LT(run, level.start.size()) << "depth " << d;
      EXPECT_EQ(level.start[run], i) << "depth " << d << ", run " << run;
      if (d > 0) {
        EXPECT_EQ(level.letter[run], folded[i][d - 1]) << "depth " << d << ", run " << run;
      }
      EXPECT_EQ(level.shortest[run], shortest) << "depth " << d << ", run " << run;
      EXPECT_EQ(level.longest[run], longest) << "depth " << d << ", run " << run;
      EXPECT_EQ(level.letters[run], after) << "depth " << d << ", run " << run;
      // Its children on the next level are the runs that begin inside it.
      if (d < SpellingTrie::kDepth) {
        const SpellingTrie::Level& down = trie.levels[d + 1];
        for (std::uint32_t child = level.firstChild[run]; child < level.firstChild[run + 1]; ++child) {
          EXPECT_TRUE(down.start[child] >= i && down.start[child] < end) << "depth " << d << ", run " << run;
        }
      }
      ++run;
      i = end;
    }
    EXPECT_EQ(run, level.start.size()) << "depth " << d << ": no more runs than the headwords make";
  }
}

// Ranked the plain way: every headword (one per folded text) compared with the word, all within
// two edits sorted by distance, then commonness, then index order.
std::vector<std::string> RankedByComparingAll(const Dictionary& dict, const std::vector<std::u32string>& folded,
                                              std::string_view word) {
  struct Entry {
    int distance;
    std::size_t commonness, position;
  };
  const std::u32string q = Folded(word);
  std::vector<Entry> all;
  for (std::size_t i = 0; i < dict.size(); ++i) {
    if (i > 0 && folded[i] == folded[i - 1]) continue;
    // Lengths further apart than two take more than two edits.
    if (folded[i].size() + kMostEdits < q.size() || q.size() + kMostEdits < folded[i].size()) continue;
    if (const int dist = Reference(folded[i], q); dist <= kMostEdits) all.push_back({dist, Commonness(dict, i), i});
  }
  std::sort(all.begin(), all.end(), [](const Entry& a, const Entry& b) {
    return std::tie(a.distance, b.commonness, a.position) < std::tie(b.distance, a.commonness, b.position);
  });
  std::vector<std::string> out;
  for (const Entry& e : all) out.emplace_back(dict.HeadwordAt(e.position));
  return out;
}

TEST(Suggest, RankedSuggestionsOnAGeneratedDictionaryAreThoseOfAFullComparison) {
  std::mt19937 rng(2026);
  const std::vector<WordRow> rows = GeneratedRows(rng, 3000);
  WriteOptions v2 = test::FastOptions(), v1 = test::FastOptions();
  v2.headwordsPerBlock = 64;  // many headword blocks: runs cross their borders
  v2.meaningBlockTarget = 512;
  v1.formatVersion = 1;
  for (const WriteOptions& options : {v2, v1}) {
    OpenResult opened = Dictionary::FromBytes(test::Encode(rows, options));
    ASSERT_NE(opened.dict, nullptr) << opened.message;
    const Dictionary& dict = *opened.dict;
    std::vector<std::u32string> folded(dict.size());
    for (std::size_t i = 0; i < dict.size(); ++i) folded[i] = Folded(dict.HeadwordAt(i));
    for (int trial = 0; trial < 200; ++trial) {
      const std::string& h = rows[rng() % rows.size()][0];
      // Mostly mistyped headwords; some typed as they are, some changed beyond recognition.
      std::string q = trial % 8 == 0 ? h : trial % 8 == 1 ? Mistyped(Mistyped(h, rng), rng) : Mistyped(h, rng);
      // Blanks around a word are not part of it (the suggestions trim them).
      while (!q.empty() && q.back() == ' ') q.pop_back();
      while (!q.empty() && q.front() == ' ') q.erase(0, 1);
      if (q.empty()) continue;
      const std::vector<std::string> all = RankedByComparingAll(dict, folded, q);
      for (const std::size_t limit : {std::size_t{1}, std::size_t{3}, kMostSuggestions, std::size_t{40}}) {
        const std::vector<std::string> expected(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(limit, all.size())));
        ASSERT_EQ(SpellingSuggestions(dict, q, limit), expected) << "query '" << q << "', limit " << limit;
      }
      // The base form first, then the ranking without it.
      const std::string base = BaseFormHeadword(dict, q);
      V expected;
      if (!base.empty()) expected.push_back(base);
      for (const std::string& s : all) {
        if (expected.size() == kMostSuggestions) break;
        if (base.empty() || CompareFolded(base, s) != 0) expected.push_back(s);
      }
      ASSERT_EQ(Suggest(dict, q), expected) << "query '" << q << "'";
    }
  }
}

TEST(Suggest, NearestFirstThenTheCommonerWord) {
  // Both one edit from "recieve"; receive has more senses and a phrase of its own.
  const auto dict = Make({{"relieve", "a"},
                          {"receive", "a\xD8\x8C b\xD8\x8C c"},
                          {"receive back", "x"},
                          {"recieved wisdom", "x"},
                          {"reprieve", "a"},
                          {"sieve", "a"}});
  EXPECT_EQ(SpellingSuggestions(*dict, "recieve"), (V{"receive", "relieve", "reprieve"}));
  EXPECT_EQ(SpellingSuggestions(*dict, "RECIEVE"), (V{"receive", "relieve", "reprieve"})) << "case ignored";
  EXPECT_EQ(SpellingSuggestions(*dict, "recieve", 1), (V{"receive"}));
  EXPECT_EQ(Commonness(*dict, 0), 4u) << "three senses and one phrase";
}

TEST(Suggest, TheBaseFormComesFirstAndNothingRepeats) {
  const auto dict = MakeWords({"city", "cite", "citizen", "pity", "book", "Book"});
  const V s = Suggest(*dict, "cities");
  ASSERT_FALSE(s.empty());
  EXPECT_EQ(s[0], "city");
  EXPECT_EQ(std::count(s.begin(), s.end(), "city"), 1);
  EXPECT_LE(s.size(), kMostSuggestions);
  EXPECT_EQ(Suggest(*dict, "bok"), (V{"book"})) << "one of two headwords that differ only in case";
  EXPECT_TRUE(Suggest(*dict, "zzzzzzzz").empty());
  EXPECT_TRUE(Suggest(*dict, "").empty());
  EXPECT_TRUE(Suggest(*dict, std::string(5'000'000, 'b')).empty());
}

TEST(Suggest, LookUpWordListsSuggestionsBelowTheNotFoundMessage) {
  const auto dict = MakeWords({"receive", "cat", "cat food"});
  const SearchResult miss = LookUpWord(*dict, "recieve");
  EXPECT_TRUE(miss.matches.empty());
  EXPECT_EQ(miss.suggestions, (V{"receive"}));
  EXPECT_EQ(miss.meaningText, std::string(NotFoundText) + "\r\n\r\n" + std::string(kSuggestionsLabel) + " receive");

  // Several share the one line after the label, in the listed order.
  const auto more = MakeWords({"cat", "cab", "car"});
  const SearchResult many = LookUpWord(*more, "czt");
  ASSERT_EQ(many.suggestions.size(), 3u);
  EXPECT_EQ(many.meaningText, std::string(NotFoundText) + "\r\n\r\n" + std::string(kSuggestionsLabel) + " " +
                                  many.suggestions[0] + ", " + many.suggestions[1] + ", " + many.suggestions[2]);

  const SearchResult none = LookUpWord(*dict, "qqqqqq");
  EXPECT_TRUE(none.suggestions.empty());
  EXPECT_EQ(none.meaningText, NotFoundText) << "no suggestion: the message alone, as before";

  // Text that matches keeps the prefix behaviour exactly, trailing blank included.
  const SearchResult typed = LookUpWord(*dict, "cat ");
  ASSERT_EQ(typed.matches.size(), 1u);
  EXPECT_EQ(typed.matches.Headword(0), "cat food");
  EXPECT_TRUE(typed.suggestions.empty());
}

}  // namespace
}  // namespace kelvara
