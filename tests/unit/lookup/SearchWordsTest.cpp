// SearchWords as the word box uses it: the list, the meaning shown, and that no text at all can
// make it fail or hang.
#include <gtest/gtest.h>

#include <chrono>

#include "TestDictionary.h"
#include "lookup/CaseFold.h"

namespace kelvara {
namespace {

using test::Listed;
using test::Make;
using V = std::vector<std::string>;

std::unique_ptr<Dictionary> Sample() {
  return Make({{"cab", "تاکسی"},
               {"abandon", "رها کردن"},
               {"Abbey", "صومعه"},
               {"abacus", ""},
               {"cat", "گربه"},
               {"cat food", "غذای گربه"},
               {"cut", "بریدن"}});
}

TEST(SearchWords, ListsThePrefixMatchesAndShowsTheFirstMeaning) {
  auto dict = Sample();
  const SearchResult r = SearchWords(*dict, "ab");
  ASSERT_EQ(r.matches.size(), 3u);
  EXPECT_EQ(r.matches.Headword(0), "abacus");
  EXPECT_EQ(r.matches.Headword(1), "abandon");
  EXPECT_EQ(r.matches.Headword(2), "Abbey");
  EXPECT_EQ(r.matches.Meaning(2), "صومعه");
  EXPECT_EQ(r.matches.Row(1), 1u);
  EXPECT_EQ(r.meaningText, "") << "the first row's meaning is empty, and shown empty";

  const SearchResult abb = SearchWords(*dict, "abb");
  EXPECT_EQ(abb.meaningText, "صومعه");
}

TEST(SearchWords, NothingFoundLeavesTheListEmptyAndSaysSo) {
  auto dict = Sample();
  const SearchResult r = SearchWords(*dict, "xyz");
  EXPECT_TRUE(r.matches.empty());
  EXPECT_EQ(r.meaningText, NotFoundText);
  EXPECT_EQ(r.meaningText, "کلمه مورد نظر يافت نشد.");
  // The program's own spelling: Arabic yeh U+064A, keheh U+06A9.
  EXPECT_NE(r.meaningText.find("\xD9\x8A"), std::string::npos);
  EXPECT_NE(r.meaningText.find("\xDA\xA9"), std::string::npos);
}

TEST(SearchWords, PatternResultsCarryTheirMeanings) {
  auto dict = Sample();
  const SearchResult r = SearchWords(*dict, "c?t");
  ASSERT_EQ(r.matches.size(), 3u);
  EXPECT_EQ(r.matches.Headword(0), "cat");
  EXPECT_EQ(r.matches.Headword(1), "cat food");
  EXPECT_EQ(r.matches.Headword(2), "cut");
  EXPECT_EQ(r.meaningText, "گربه");
  EXPECT_EQ(r.matches.Meaning(2), "بریدن");
}

TEST(SearchWords, EmptyWordListsEverything) {
  auto dict = Sample();
  EXPECT_EQ(SearchWords(*dict, "").matches.size(), dict->size());
}

TEST(SearchWords, PlainPrefixIsARangeOfTheIndex) {
  auto dict = Sample();
  const Matches m = FindMatches(*dict, "ca");
  // Consecutive index positions, in index order.
  ASSERT_EQ(m.size(), 3u);
  for (std::size_t i = 0; i < m.size(); ++i) {
    std::size_t position = 0;
    while (dict->SortedRow(position) != m.Row(i)) ++position;
    EXPECT_EQ(CompareFoldedToPrefix(dict->HeadwordAt(position), "ca"), 0);
    if (i > 0) {
      EXPECT_EQ(dict->SortedRow(position - 1), m.Row(i - 1));
    }
  }
}

// Whatever the clipboard brings: every text gives matches or the not-found text, quickly.
TEST(SearchWords, AnyTextIsLookedUpWithoutFailingOrHanging) {
  std::vector<WordRow> rows;
  for (int i = 0; i < 2000; ++i) rows.push_back({"word" + std::to_string(i) + "*[?#", "m"});
  rows.push_back({std::string(5000, 'a'), "long"});
  auto dict = Make(rows);

  std::vector<std::string> words = {
      "",
      std::string(1 << 20, 'a'),
      std::string(1 << 20, '*'),
      std::string(1 << 20, '?'),
      std::string(1 << 20, '['),
      "*" + std::string(1 << 20, 'a'),
      "?" + std::string(1 << 20, 'a'),
      "a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b",
      "[a-",
      "[!",
      "[]",
      "]",
      "'",
      "it's",
      "\"",
      "--",
      "کلمه",
      "a\nb",
      "\r\n",
      std::string("a\0b", 3),
      std::string(1, '\0'),
      "\xFF\xFE",
      "\xC3",
      "\xED\xA0\x80",
      "word1*[?#",
      "WORD1[*][[][?][#]",
  };
  for (std::string& w : words) {
    const auto start = std::chrono::steady_clock::now();
    const SearchResult r = SearchWords(*dict, w);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.matches.empty(), r.meaningText == NotFoundText) << w.substr(0, 40);
    EXPECT_LT(seconds, 5.0) << "far beyond any plausible lookup: " << w.substr(0, 40);
  }
  EXPECT_EQ(SearchWords(*dict, std::string(5000, 'A')).meaningText, "long");
  EXPECT_EQ(SearchWords(*dict, "*" + std::string(4999, 'a')).meaningText, "long");
  EXPECT_EQ(Listed(*dict, "WORD1[*][[][?][#]"), (V{"word1*[?#"}));
  EXPECT_EQ(SearchWords(*dict, "word1*").matches.size(), 1111u);
}

TEST(SearchWords, MatchesStayValidAfterTheSearchReturns) {
  auto dict = Sample();
  Matches kept = SearchWords(*dict, "c[au]").matches;
  Matches copy = kept;
  ASSERT_EQ(copy.size(), 4u);
  EXPECT_EQ(copy.Headword(3), "cut");
  Matches none;
  EXPECT_EQ(none.size(), 0u);
}

}  // namespace
}  // namespace kelvara
