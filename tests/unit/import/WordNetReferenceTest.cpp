// The DSL dictionary Debian packages (goldendict-wordnet, installed by scripts/deps.sh) read
// whole: as many headwords as its headword lines, counted here without the reader, and every
// meaning plain text with no markup left.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <iostream>

#include "import/Dsl.h"

namespace kelvara::import {
namespace {

const char* const kWordNet = "/usr/share/goldendict-wordnet/goldendict-wordnet.dsl.dz";

struct Counted {
  std::size_t cards = 0, headwordLines = 0;
};

// Headword lines are the lines that begin with neither a blank nor '#'; a card is a run of them.
Counted CountCards(const char* file) {
  Counted c;
  gzFile gz = gzopen(file, "rb");
  if (!gz) return c;
  std::string text;
  char buffer[1 << 16];
  int n;
  while ((n = gzread(gz, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  gzclose(gz);
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  bool previousWasHeadword = false;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const char first = text[start];
    const bool headword = end > start && first != ' ' && first != '\t' && first != '#' && first != '\r';
    if (headword) {
      ++c.headwordLines;
      if (!previousWasHeadword) ++c.cards;
    }
    previousWasHeadword = headword;
    start = end + 1;
  }
  return c;
}

// A DSL tag left in the text: '[' then an optional '/', a tag name (lower-case letters and digits,
// or one of * ' !trs) and ']' or a blank. Escaped brackets in the source, as in the formula
// Pb[CH3CO]2, are text.
bool HasTag(std::string_view text) {
  for (std::size_t i = text.find('['); i != std::string_view::npos; i = text.find('[', i + 1)) {
    std::size_t j = i + 1;
    if (j < text.size() && text[j] == '/') ++j;
    const std::size_t nameStart = j;
    while (j < text.size() && ((text[j] >= 'a' && text[j] <= 'z') || (j > nameStart && std::isdigit(static_cast<unsigned char>(text[j]))) ||
                               text[j] == '*' || text[j] == '\'' || text[j] == '!')) {
      ++j;
    }
    if (j > nameStart && j < text.size() && (text[j] == ']' || text[j] == ' ')) return true;
  }
  return false;
}

TEST(WordNetReference, EveryHeadwordLineIsAnEntryAndNoMarkupIsLeft) {
  const Counted counted = CountCards(kWordNet);
  ASSERT_GT(counted.cards, 100000u) << kWordNet << " is missing: scripts/deps.sh installs goldendict-wordnet";

  Source source;
  std::string error;
  ASSERT_TRUE(ReadDsl(kWordNet, source, error)) << error;
  EXPECT_EQ(source.name, "WordNet 3.0 (En-En)");
  EXPECT_EQ(source.entries.size(), counted.headwordLines);
  std::cout << "goldendict-wordnet: " << counted.cards << " cards, " << counted.headwordLines
            << " headword lines, " << source.entries.size() << " entries read\n";

  std::size_t withMarkup = 0;
  for (const Entry& e : source.entries) {
    const bool markup = HasTag(e.meaning) || e.meaning.find("{{") != std::string::npos ||
                        e.meaning.find("<<") != std::string::npos ||
                        e.meaning.find(">>") != std::string::npos || HasTag(e.headword) ||
                        e.headword.find_first_of("{}") != std::string::npos;
    if (markup && ++withMarkup <= 5) ADD_FAILURE() << "markup left in " << e.headword << ":\n" << e.meaning;
  }
  EXPECT_EQ(withMarkup, 0u);

  // A card as the file has it, and as the meaning box will show it.
  const auto tween = std::find_if(source.entries.begin(), source.entries.end(),
                                  [](const Entry& e) { return e.headword == "'tween"; });
  ASSERT_NE(tween, source.entries.end());
  EXPECT_EQ(tween->meaning,
            "  adverb\r\n"
            "    in between\r\n"
            "      - two houses with a tree between\r\n"
            "      \xE2\x80\xA2 Syn: between");
}

}  // namespace
}  // namespace kelvara::import
