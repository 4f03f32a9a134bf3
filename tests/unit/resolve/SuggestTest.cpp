// Suggestions when nothing matches: the walk over the index finds exactly what a plain
// distance computation over every headword finds, ranked nearest first and commoner first.
#include <gtest/gtest.h>

#include <random>

#include "TestDictionary.h"
#include "lookup/CaseFold.h"
#include "lookup/Suggest.h"

namespace kelvara {
namespace {

using test::Make;
using test::MakeWords;
using V = std::vector<std::string>;

// Restricted Damerau-Levenshtein (adjacent transpositions, each character edited once), the
// textbook table over whole strings of folded code points.
int Reference(std::string_view a, std::string_view b) {
  std::u32string x, y;
  for (const char* p = a.data(); p < a.data() + a.size();) x.push_back(NextFolded(p, a.data() + a.size()));
  for (const char* p = b.data(); p < b.data() + b.size();) y.push_back(NextFolded(p, b.data() + b.size()));
  std::vector<std::vector<int>> d(x.size() + 1, std::vector<int>(y.size() + 1));
  for (std::size_t i = 0; i <= x.size(); ++i) d[i][0] = static_cast<int>(i);
  for (std::size_t j = 0; j <= y.size(); ++j) d[0][j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= x.size(); ++i) {
    for (std::size_t j = 1; j <= y.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (x[i - 1] == y[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[x.size()][y.size()];
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
    std::vector<std::pair<std::string, int>> expected;
    std::string lastFolded;
    for (std::size_t i = 0; i < dict->size(); ++i) {
      const std::string_view h = dict->HeadwordAt(i);
      std::string folded;
      AppendFolded(h, folded, false);
      if (i > 0 && folded == lastFolded) continue;  // one per folded text
      lastFolded = folded;
      if (const int dist = Reference(h, q); dist <= kMostEdits) expected.emplace_back(std::string(h), dist);
    }
    std::vector<std::pair<std::string, int>> got;
    for (const SpellingMatch& m : WithinTwoEdits(*dict, q)) got.emplace_back(std::string(dict->HeadwordAt(m.position)), m.distance);
    ASSERT_EQ(got, expected) << "query '" << q << "'";
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
  EXPECT_EQ(miss.meaningText, std::string(NotFoundText) + "\r\n\r\n" + std::string(kSuggestionsLabel) + "\r\nreceive");

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
