// WordNet's lists of irregular forms (Debian's wordnet-base) as an oracle, never as data: with
// the bundled dictionary, a copied irregular form whose base is a headword reaches that base.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "TestDictionary.h"
#include "lookup/CaseFold.h"
#include "lookup/Resolve.h"
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

}  // namespace
}  // namespace kelvara
