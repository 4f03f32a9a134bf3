// WordNet's lists of irregular forms (Debian's wordnet-base) as an oracle, never as data: with
// the bundled dictionary, a copied irregular form whose base is a headword reaches that base.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "TestDictionary.h"
#include "lookup/CaseFold.h"
#include "lookup/Resolve.h"
#include "lookup/Suggest.h"
#include "lookup/Tsv.h"

namespace kelvara {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::unique_ptr<Dictionary> Bundled() {
  const std::string source = ReadAll(KELVARA_WORDS_TSV);
  TsvParseResult parsed = ParseTsv(source);
  EXPECT_TRUE(parsed.ok()) << parsed.error;
  return test::Make(parsed.rows);
}

TEST(ResolveOracle, IrregularFormsInWordNetReachTheirBundledBase) {
  const auto dict = Bundled();
  ASSERT_TRUE(dict);
  std::size_t considered = 0, reached = 0;
  std::string misses;
  for (const char* list : {"verb.exc", "noun.exc", "adj.exc"}) {
    std::ifstream in(std::string(KELVARA_WORDNET_DIR) + "/" + list);
    ASSERT_TRUE(in) << "wordnet-base is not installed (scripts/deps.sh installs it)";
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string form, base;
      fields >> form;
      if (form.find('_') != std::string::npos || FindHeadword(*dict, form)) continue;
      std::vector<std::string> bases;
      while (fields >> base) bases.push_back(base);
      // Only forms whose base (any of WordNet's) is a headword here can be reached at all.
      bool reachable = false;
      for (const std::string& b : bases) reachable = reachable || FindHeadword(*dict, b).has_value();
      if (!reachable) continue;
      ++considered;
      const std::string got = ResolveCopied(*dict, form).text;
      bool ok = false;
      for (const std::string& b : bases) ok = ok || CompareFolded(got, b) == 0;
      if (ok) {
        ++reached;
      } else {
        misses += " " + form + "->" + got;
      }
    }
  }
  const double share = static_cast<double>(reached) / static_cast<double>(considered);
  std::printf("irregular forms whose base is a bundled headword: %zu, reached: %zu (%.1f%%)\nmissed:%s\n",
              considered, reached, 100 * share, misses.c_str());
  EXPECT_GE(considered, 300u);
  EXPECT_GE(share, 0.95);
}

// Forty common misspellings and the words meant, collected for this test: with the bundled
// dictionary, the word meant (or its base form) is among the first three rows listed.
TEST(ResolveOracle, CommonMisspellingsListTheWordMeantAmongTheFirstThree) {
  const auto dict = Bundled();
  ASSERT_TRUE(dict);
  const std::pair<const char*, const char*> cases[] = {
      {"recieve", "receive"},       {"beleive", "believe"},     {"definately", "definitely"},
      {"seperate", "separate"},     {"occured", "occurred"},       {"untill", "until"},
      {"wierd", "weird"},           {"acheive", "achieve"},     {"accomodate", "accommodate"},
      {"adress", "address"},        {"begining", "beginning"},  {"calender", "calendar"},
      {"comming", "coming"},          {"commitee", "committee"},  {"concious", "conscious"},
      {"enviroment", "environment"}, {"existance", "existence"}, {"foriegn", "foreign"},
      {"freind", "friend"},         {"goverment", "government"}, {"grammer", "grammar"},
      {"happend", "happened"},        {"independant", "independent"}, {"knowlege", "knowledge"},
      {"libary", "library"},        {"neccessary", "necessary"}, {"noticable", "noticeable"},
      {"occassion", "occasion"},    {"posession", "possession"}, {"prefered", "preferred"},
      {"publically", "publicly"},   {"reccomend", "recommend"}, {"rythm", "rhythm"},
      {"sucess", "success"},        {"suprise", "surprise"},    {"tommorow", "tomorrow"},
      {"tounge", "tongue"},         {"truely", "truly"},        {"wich", "which"},
      {"writting", "writing"},
  };
  std::size_t meant = 0, found = 0;
  std::string misses;
  for (const auto& [typo, word] : cases) {
    // The word meant or its base form ("begining" may list "begin").
    std::vector<std::string> accepted = BaseCandidates(word);
    accepted.emplace_back(word);
    bool reachable = false;
    for (const std::string& a : accepted) reachable = reachable || FindHeadword(*dict, a).has_value();
    if (!reachable) continue;
    ++meant;
    const std::string text = ResolveCopied(*dict, typo).text;
    const SearchResult r = LookUpWord(*dict, text);
    std::vector<std::string> listed;
    for (std::size_t i = 0; i < r.matches.size() && i < 3; ++i) listed.emplace_back(r.matches.Headword(i));
    for (std::size_t i = 0; i < r.suggestions.size() && listed.size() < 3; ++i) listed.push_back(r.suggestions[i]);
    bool ok = false;
    for (const std::string& l : listed)
      for (const std::string& a : accepted) ok = ok || CompareFolded(l, a) == 0;
    if (ok) {
      ++found;
    } else {
      misses += std::string(" ") + typo + "->";
      for (const std::string& l : listed) misses += l + ",";
    }
  }
  std::printf("misspellings whose word or its base is a bundled headword: %zu, word meant among the first three: %zu\nmissed:%s\n",
              meant, found, misses.c_str());
  EXPECT_GE(meant, 35u);
  EXPECT_GE(static_cast<double>(found), 0.9 * static_cast<double>(meant));
}

}  // namespace
}  // namespace kelvara
