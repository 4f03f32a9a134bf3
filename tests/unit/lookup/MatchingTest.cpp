// What the word box lists for a word: `word*` with the pattern characters, case ignored, in the
// order of the folded headword.
#include <gtest/gtest.h>

#include <random>

#include "TestDictionary.h"
#include "lookup/CaseFold.h"
#include "lookup/Format.h"

namespace kelvara {
namespace {

using test::Listed;
using test::MakeWords;
using V = std::vector<std::string>;

TEST(PrefixMatching, ListsHeadwordsThatBeginWithTheWordIgnoringCase) {
  auto dict = MakeWords({"cab", "Abbey", "abandon", "able", "ab"});
  EXPECT_EQ(Listed(*dict, "ab"), (V{"ab", "abandon", "Abbey", "able"}));
  EXPECT_EQ(Listed(*dict, "AB"), (V{"ab", "abandon", "Abbey", "able"}));
  EXPECT_EQ(Listed(*dict, "abb"), (V{"Abbey"}));
  EXPECT_EQ(Listed(*dict, "abbey"), (V{"Abbey"})) << "a headword equal to the word matches";
  EXPECT_EQ(Listed(*dict, "abbeys"), V{});
  EXPECT_EQ(Listed(*dict, "b"), V{}) << "only the beginning counts: not cab";
  EXPECT_EQ(Listed(*dict, "zz"), V{});
  EXPECT_EQ(Listed(*dict, "0"), V{}) << "before every headword";
}

// The search compares the first eight folded bytes as one integer; ASCII is folded eight bytes at
// a time, so every byte value and length on either side of that shortcut must give the same head
// as folding the text and taking its first eight bytes.
TEST(PrefixMatching, HeadsAreTheFirstEightFoldedBytes) {
  auto expected = [](std::string_view text) {
    std::string folded;
    AppendFolded(text, folded, false);
    std::uint64_t head = 0;
    for (std::size_t i = 0; i < 8; ++i) head = (head << 8) | (i < folded.size() ? static_cast<unsigned char>(folded[i]) : 0u);
    return head;
  };
  std::vector<std::string> texts = {"", "A", "Zebra", "ZEBRAS", "@[`{AZaz", "abcdefgh", "ABCDEFGHIJ",
                                    "Abbey Road", "ABCDEFG\xC3\x89", "\xC3\x89" "COLE", "caf\xC3\xA9s"};
  for (int c = 1; c < 0x80; ++c) {
    texts.push_back(std::string(1, static_cast<char>(c)));
    texts.push_back("xxxxxxx" + std::string(1, static_cast<char>(c)) + "y");
  }
  for (const std::string& t : texts) EXPECT_EQ(format::FoldedHead(t), expected(t)) << t;
}

TEST(PrefixMatching, BlanksAreOrdinaryIncludingTrailingOnes) {
  auto dict = MakeWords({"cat", "cat food", "catalog", "ice cream", "icecream", " cat"});
  EXPECT_EQ(Listed(*dict, "cat "), (V{"cat food"}));
  EXPECT_EQ(Listed(*dict, "cat"), (V{"cat", "cat food", "catalog"}));
  EXPECT_EQ(Listed(*dict, "ice cream"), (V{"ice cream"}));
  EXPECT_EQ(Listed(*dict, " "), (V{" cat"}));
}

TEST(PrefixMatching, OrderIsByFoldedHeadwordCodePointByCodePointWithTiesInFileOrder) {
  auto dict = MakeWords({"b", "B", "a-z", "A", "a", "a z", "az", "Ä", "a"});
  // Folded: "b","b","a-z","a","a","a z","az","ä","a"; blank < '-' < 'z' < 'ä' (U+00E4).
  const V all = Listed(*dict, "");
  EXPECT_EQ(all, (V{"A", "a", "a", "a z", "a-z", "az", "b", "B", "Ä"}));
  // The ties keep the file's order: rows 4, 5 and 9 are "A", "a", "a".
  auto numbered = test::Make({{"b", "1"}, {"B", "2"}, {"a-z", "3"}, {"A", "4"}, {"a", "5"},
                              {"a z", "6"}, {"az", "7"}, {"\xC3\x84", "8"}, {"a", "9"}});
  const Matches m = FindMatches(*numbered, "a");
  ASSERT_GE(m.size(), 3u);
  EXPECT_EQ(m.Meaning(0), "4");
  EXPECT_EQ(m.Meaning(1), "5");
  EXPECT_EQ(m.Meaning(2), "9");
}

// The search compares the first and the next eight bytes as numbers before any text: words that
// differ just before, at and after those boundaries.
TEST(PrefixMatching, HeadwordsSharingLongBeginningsAreToldApartAtEveryLength) {
  auto dict = MakeWords({"0123456789abcdefX", "0123456789ABCDEFy", "0123456789abcdef",
                         "0123456789abcdeg", "01234567", "01234567x", "0123456", "012345678",
                         "0123456789abcdefXZ", "0123456789abcdefXz!"});
  EXPECT_EQ(Listed(*dict, "0123456789abcdefX"),
            (V{"0123456789abcdefX", "0123456789abcdefXZ", "0123456789abcdefXz!"}));
  EXPECT_EQ(Listed(*dict, "0123456789abcdefXZ"), (V{"0123456789abcdefXZ", "0123456789abcdefXz!"}));
  EXPECT_EQ(Listed(*dict, "0123456789abcdefxz!"), (V{"0123456789abcdefXz!"}));
  EXPECT_EQ(Listed(*dict, "0123456789abcdefY"), (V{"0123456789ABCDEFy"}));
  EXPECT_EQ(Listed(*dict, "0123456789abcdef").size(), 5u);
  EXPECT_EQ(Listed(*dict, "0123456789abcde").size(), 6u);
  EXPECT_EQ(Listed(*dict, "0123456789abcdeg"), (V{"0123456789abcdeg"}));
  EXPECT_EQ(Listed(*dict, "0123456789abcdeh"), V{});
  EXPECT_EQ(Listed(*dict, "01234567").size(), 9u);
  EXPECT_EQ(Listed(*dict, "012345678").size(), 7u);
  EXPECT_EQ(Listed(*dict, "01234567x"), (V{"01234567x"}));
  EXPECT_EQ(Listed(*dict, "0123456").size(), 10u);
  EXPECT_EQ(Listed(*dict, std::string("0123456\0", 8)), V{}) << "a NUL is not the end of a key";
  EXPECT_EQ(Listed(*dict, std::string("0123456789abcdef\0", 17)), V{});
}

TEST(PrefixMatching, CaseFoldingCoversLettersBeyondAscii) {
  auto dict = MakeWords({"École", "éclair", "ΣΟΦΊΑ", "Straße", "Москва", "\xE2\x84\xAA" "elvin"});
  EXPECT_EQ(Listed(*dict, "éCOL"), (V{"École"}));
  EXPECT_EQ(Listed(*dict, "ÉC"), (V{"éclair", "École"}));
  EXPECT_EQ(Listed(*dict, "σοφία"), (V{"ΣΟΦΊΑ"}));
  EXPECT_EQ(Listed(*dict, "σοφ"), (V{"ΣΟΦΊΑ"}));
  EXPECT_EQ(Listed(*dict, "ς"), (V{"ΣΟΦΊΑ"})) << "final sigma folds to sigma";
  EXPECT_EQ(Listed(*dict, "МОСК"), (V{"Москва"}));
  EXPECT_EQ(Listed(*dict, "STRASSE"), V{}) << "simple folding: ß is not ss";
  EXPECT_EQ(Listed(*dict, "STRAẞ"), (V{"Straße"})) << "capital sharp s folds to ß";
  EXPECT_EQ(Listed(*dict, "kel"), (V{"\xE2\x84\xAA" "elvin"})) << "the Kelvin sign folds to k";
}

TEST(CaseFolding, TableAgreesWithKnownPairsAndLeavesUncasedScriptsAlone) {
  EXPECT_EQ(FoldCase(U'A'), U'a');
  EXPECT_EQ(FoldCase(U'z'), U'z');
  EXPECT_EQ(FoldCase(U'Ā'), U'ā');
  EXPECT_EQ(FoldCase(U'ā'), U'ā');
  EXPECT_EQ(FoldCase(U'Ÿ'), U'ÿ');
  EXPECT_EQ(FoldCase(U'µ'), U'μ');
  EXPECT_EQ(FoldCase(U'Ж'), U'ж');
  EXPECT_EQ(FoldCase(U'Ա'), U'ա');
  EXPECT_EQ(FoldCase(U'Ⅻ'), U'ⅻ');
  EXPECT_EQ(FoldCase(U'Ａ'), U'ａ');
  EXPECT_EQ(FoldCase(U'\U00010400'), U'\U00010428');  // Deseret
  EXPECT_EQ(FoldCase(U'ی'), U'ی');
  EXPECT_EQ(FoldCase(U'ك'), U'ك');
  EXPECT_EQ(FoldCase(U'中'), U'中');
  // Folding is stable: folding a folded character changes nothing.
  for (char32_t c = 0; c < 0x20000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    ASSERT_EQ(FoldCase(FoldCase(c)), FoldCase(c)) << std::hex << static_cast<unsigned>(c);
  }
}

TEST(PatternMatching, QuestionMarkTakesAnyOneCharacter) {
  auto dict = MakeWords({"cat", "cut", "coat", "ct", "c?t", "cét"});
  EXPECT_EQ(Listed(*dict, "c?t"), (V{"c?t", "cat", "cut", "cét"}));
  EXPECT_EQ(Listed(*dict, "??"), (V{"c?t", "cat", "coat", "ct", "cut", "cét"}));
  EXPECT_EQ(Listed(*dict, "???t"), (V{"coat"}));
}

TEST(PatternMatching, HashTakesOneAsciiDigit) {
  auto dict = MakeWords({"4x4", "a1", "ab", "a12", "a\xDB\xB1"});  // the last: Persian digit one
  EXPECT_EQ(Listed(*dict, "#"), (V{"4x4"}));
  EXPECT_EQ(Listed(*dict, "a#"), (V{"a1", "a12"}));
  EXPECT_EQ(Listed(*dict, "a##"), (V{"a12"}));
}

TEST(PatternMatching, StarTakesAnyRunIncludingNone) {
  auto dict = MakeWords({"blackbird", "bird", "bluebird", "b", "brid"});
  EXPECT_EQ(Listed(*dict, "b*bird"), (V{"blackbird", "bluebird"})) << "b, then bird after it";
  EXPECT_EQ(Listed(*dict, "*bird"), (V{"bird", "blackbird", "bluebird"}));
  EXPECT_EQ(Listed(*dict, "**b"), (V{"b", "bird", "blackbird", "bluebird", "brid"}));
  EXPECT_EQ(Listed(*dict, "*"), (V{"b", "bird", "blackbird", "bluebird", "brid"}));
  EXPECT_EQ(Listed(*dict, "b*r*d"), (V{"bird", "blackbird", "bluebird", "brid"}));
}

TEST(PatternMatching, CharacterListsRangesAndNegation) {
  auto dict = MakeWords({"bat", "cat", "hat", "mat", "Rat", "5at", "-at", "!at"});
  EXPECT_EQ(Listed(*dict, "[bc]at"), (V{"bat", "cat"}));
  EXPECT_EQ(Listed(*dict, "[BC]AT"), (V{"bat", "cat"})) << "lists ignore case too";
  EXPECT_EQ(Listed(*dict, "[a-h]at"), (V{"bat", "cat", "hat"}));
  EXPECT_EQ(Listed(*dict, "[A-H]at"), (V{"bat", "cat", "hat"})) << "upper-case range, lower text";
  EXPECT_EQ(Listed(*dict, "[q-z]at"), (V{"Rat"})) << "lower-case range, upper text";
  EXPECT_EQ(Listed(*dict, "[!a-h]at"), (V{"!at", "-at", "5at", "mat", "Rat"}));
  EXPECT_EQ(Listed(*dict, "[!bcm-z]at"), (V{"!at", "-at", "5at", "hat"}));
  EXPECT_EQ(Listed(*dict, "[-]at"), (V{"-at"})) << "a dash alone is itself";
  EXPECT_EQ(Listed(*dict, "[b-]at"), (V{"-at", "bat"})) << "a dash last is itself";
  EXPECT_EQ(Listed(*dict, "[0-9]"), (V{"5at"}));
  EXPECT_EQ(Listed(*dict, "[!]at"), (V{"!at", "-at", "5at", "bat", "cat", "hat", "mat", "Rat"}));
  EXPECT_EQ(Listed(*dict, "c[]at"), (V{"cat"})) << "an empty list takes no character";
}

TEST(PatternMatching, PatternCharactersInsideAListAreThemselves) {
  auto dict = MakeWords({"a*b", "a?b", "a#b", "a[b", "axb", "a1b"});
  EXPECT_EQ(Listed(*dict, "a[*]"), (V{"a*b"}));
  EXPECT_EQ(Listed(*dict, "a[?]"), (V{"a?b"}));
  EXPECT_EQ(Listed(*dict, "a[#]"), (V{"a#b"}));
  EXPECT_EQ(Listed(*dict, "a[[]"), (V{"a[b"}));
}

TEST(PatternMatching, BrokenListsAndQuotesAreOrdinaryText) {
  auto dict = MakeWords({"[abc", "a[b", "abc", "it's", "\"quoted\"", "[z-a]x", "zx"});
  EXPECT_EQ(Listed(*dict, "[ab"), (V{"[abc"})) << "a [ without ] is a [";
  EXPECT_EQ(Listed(*dict, "a["), (V{"a[b"}));
  EXPECT_EQ(Listed(*dict, "it's"), (V{"it's"}));
  EXPECT_EQ(Listed(*dict, "'"), V{});
  EXPECT_EQ(Listed(*dict, "\"q"), (V{"\"quoted\""}));
  EXPECT_EQ(Listed(*dict, "[z-a]"), V{}) << "a reversed range holds nothing";
  EXPECT_EQ(Listed(*dict, "[z-az]"), (V{"zx"})) << "the list's other items still count";
  EXPECT_EQ(Listed(*dict, "[?"), (V{"[abc", "[z-a]x"})) << "the [ is literal, the ? still a wildcard";
  EXPECT_EQ(Listed(*dict, "a[?"), (V{"a[b"}));
}

TEST(PatternMatching, NonAsciiListsAndWildcardsTakeWholeCharacters) {
  auto dict = MakeWords({"café", "cafe", "cafés", "caf\xE2\x82\xAC", "کتاب", "کباب"});
  EXPECT_EQ(Listed(*dict, "caf?"), (V{"cafe", "café", "cafés", "caf€"}));
  EXPECT_EQ(Listed(*dict, "caf?s"), (V{"cafés"}));
  EXPECT_EQ(Listed(*dict, "caf[É]"), (V{"café", "cafés"}));
  EXPECT_EQ(Listed(*dict, "caf[à-ê]"), (V{"café", "cafés"}));
  EXPECT_EQ(Listed(*dict, "ک?اب"), (V{"کباب", "کتاب"}));
  EXPECT_EQ(Listed(*dict, "ک[ت]"), (V{"کتاب"}));
}

}  // namespace
}  // namespace kelvara

namespace kelvara {
namespace {

// A plain recursive matcher over code points, written for the test: slow, but obviously right
// for the small alphabet below (no ranges).
bool Reference(const std::u32string& pat, std::size_t p, const std::u32string& text, std::size_t t) {
  if (p == pat.size()) return true;  // the implied trailing `*`
  const char32_t c = pat[p];
  if (c == U'*') {
    for (std::size_t k = t; k <= text.size(); ++k) {
      if (Reference(pat, p + 1, text, k)) return true;
    }
    return false;
  }
  if (t == text.size()) return false;
  if (c == U'?') return Reference(pat, p + 1, text, t + 1);
  if (c == U'#') return text[t] >= U'0' && text[t] <= U'9' && Reference(pat, p + 1, text, t + 1);
  if (c == U'[') {  // the test's lists are always closed: [xy] or [!xy]
    const std::size_t close = pat.find(U']', p);
    const bool negated = pat[p + 1] == U'!';
    const std::u32string items = pat.substr(p + 1 + negated, close - p - 1 - negated);
    if ((items.find(FoldCase(text[t])) != std::u32string::npos) == negated) return false;
    return Reference(pat, close + 1, text, t + 1);
  }
  return FoldCase(c) == FoldCase(text[t]) && Reference(pat, p + 1, text, t + 1);
}

std::string ToUtf8(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) {
    if (c < 0x80) out.push_back(static_cast<char>(c));
    else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {  // the alphabets below stay under U+10000
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// 3,000 patterns strung together from `pieces`: the dictionary of `rows` lists, in index order,
// exactly the headwords the reference matcher accepts.
void ExpectSameAsReference(const std::vector<std::u32string>& headwords,
                           const std::vector<WordRow>& rows,
                           const std::vector<std::u32string>& pieces, std::mt19937& rng) {
  auto dict = test::Make(rows);
  // The older format keeps rows in source order with the index beside them: it names the
  // source row at each index position, which the reference needs.
  WriteOptions v1 = test::FastOptions();
  v1.formatVersion = format::kVersion1;
  const auto order = Dictionary::FromBytes(test::Encode(rows, v1));
  ASSERT_TRUE(order.dict);
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
  for (int round = 0; round < 3000; ++round) {
    std::u32string pattern;
    for (std::size_t n = pick(5); n > 0; --n) pattern += pieces[pick(pieces.size())];
    std::vector<std::string> expected;
    for (std::size_t pos = 0; pos < dict->size(); ++pos) {
      const std::uint32_t row = order.dict->SortedRow(pos);
      if (Reference(pattern, 0, headwords[row], 0)) expected.push_back(rows[row][0]);
    }
    ASSERT_EQ(Listed(*dict, ToUtf8(pattern)), expected) << ToUtf8(pattern);
  }
}

// Many headwords that share long beginnings (the search orders by their first eight bytes
// first), and every kind of pattern, against the reference.
TEST(MatchingAgainstAReference, RandomHeadwordsAndPatterns) {
  const std::u32string alphabet = U"aAbé1 ";
  std::mt19937 rng(12345);
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };

  std::vector<std::u32string> headwords;
  std::vector<WordRow> rows;
  for (int i = 0; i < 400; ++i) {
    std::u32string h = i % 2 ? U"abababab" : U"";  // half share their first eight bytes
    for (std::size_t n = 1 + pick(12); n > 0; --n) h.push_back(alphabet[pick(alphabet.size())]);
    headwords.push_back(h);
    rows.push_back({ToUtf8(h), std::to_string(i)});
  }
  ExpectSameAsReference(headwords, rows,
                        {U"a", U"B", U"é", U"É", U"1", U" ", U"?", U"#", U"*", U"[ab]", U"[!a]",
                         U"[1é]", U"abababab"},
                        rng);
}

// Headwords are folded as they are read, and some letters fold to a shorter encoding: the
// Kelvin sign (3 bytes) and long s (2 bytes) fold to k and s (1 byte). Prefixes, wildcards and
// lists after them must still count characters, not bytes.
TEST(MatchingAgainstAReference, LettersWhoseFoldIsShorterThanThemselves) {
  const std::u32string alphabet = U"kK\u212AsS\u017F\u00E9 ";
  std::mt19937 rng(678);
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };

  std::vector<std::u32string> headwords;
  std::vector<WordRow> rows;
  for (int i = 0; i < 300; ++i) {
    std::u32string h;
    // Half begin with eight k of mixed spellings: equal first eight folded bytes, unequal raw.
    if (i % 2) for (int k = 0; k < 8; ++k) h.push_back(U"kK\u212A"[pick(3)]);
    for (std::size_t n = 1 + pick(10); n > 0; --n) h.push_back(alphabet[pick(alphabet.size())]);
    headwords.push_back(h);
    rows.push_back({ToUtf8(h), std::to_string(i)});
  }
  // List items are written folded: the reference does not fold them.
  ExpectSameAsReference(headwords, rows,
                        {U"k", U"K", U"\u212A", U"s", U"S", U"\u017F", U"\u00C9", U"?", U"#",
                         U"*", U"[k]", U"[!s]", U"[s\u00E9]", U"kkkkkkkk",
                         U"\u212A\u212A\u212A\u212Akkkk"},
                        rng);
}

}  // namespace
}  // namespace kelvara
