// The copied-text resolver: what surrounds a copied word is cleaned away, a word that is not a
// headword is taken to its base form when that is one, and anything it does not take stays
// exactly as copied.
#include <gtest/gtest.h>

#include <random>

#include "TestDictionary.h"
#include "lookup/IrregularForms.h"
#include "lookup/Resolve.h"

namespace kelvara {
namespace {

using test::MakeWords;

const Dictionary& Dict() {
  static const auto dict = MakeWords(
      {"book", "book in", "bookseller", "need", "talk", "want", "city", "go", "child", "foot", "mouse",
       "good", "bad", "be", "leaves", "leaf", "better", "news", "look up", "look", "U.S.A.", "e.g.",
       "rock 'n' roll", "No.", "no", "use", "us", "hope", "hop", "stop", "car", "care", "box", "horse",
       "wolf", "knife", "carry", "die", "make", "run", "big", "happy", "large", "example", "well-known",
       "John", "ice cream", "can't", "open", "agree", "Dec.", "receive", "student", "past", "paste"});
  return *dict;
}

std::string Resolved(std::string_view copied) { return ResolveCopied(Dict(), copied).text; }

TEST(Resolve, CleansWhiteSpaceOfEveryKindAndSurroundingPunctuation) {
  EXPECT_EQ(Resolved("book "), "book") << "a browser's double-click takes the blank after the word";
  EXPECT_EQ(Resolved("\t\r\n book \r\n"), "book");
  EXPECT_EQ(Resolved("\xC2\xA0" "book" "\xE2\x80\x8B"), "book") << "no-break space, zero-width space";
  EXPECT_EQ(Resolved("\xEF\xBB\xBF" "book" "\xC2\xAD"), "book") << "byte order mark, soft hyphen";
  EXPECT_EQ(Resolved("\xE2\x80\x8F" "book" "\xE2\x80\x8E"), "book") << "direction marks from RTL pages";
  EXPECT_EQ(Resolved("Book."), "Book");
  EXPECT_EQ(Resolved("(book),"), "book");
  EXPECT_EQ(Resolved("\xE2\x80\x9C" "book" "\xE2\x80\x9D"), "book") << "typographic quotes";
  EXPECT_EQ(Resolved("\xC2\xAB" "book" "\xC2\xBB" "\xD8\x8C"), "book") << "guillemets, Persian comma";
  EXPECT_EQ(Resolved("book\xE2\x80\xA6"), "book") << "ellipsis";
  EXPECT_EQ(Resolved("\xE2\x80\x94" "book" "\xE2\x80\x93"), "book") << "dashes";
  EXPECT_EQ(Resolved("ice\xC2\xA0\xC2\xA0 cream"), "ice cream") << "blanks inside a phrase become one";
}

TEST(Resolve, TheTextAsCopiedIsTriedFirstSoPunctuatedHeadwordsWin) {
  EXPECT_EQ(Resolved("U.S.A."), "U.S.A.");
  EXPECT_EQ(Resolved("U.S.A.,"), "U.S.A.");
  EXPECT_EQ(Resolved("(e.g.)"), "e.g.");
  EXPECT_EQ(Resolved("rock 'n' roll"), "rock 'n' roll");
  EXPECT_EQ(Resolved("rock \xE2\x80\x99n\xE2\x80\x99 roll"), "rock 'n' roll") << "typographic apostrophes read as '";
  EXPECT_EQ(Resolved("can\xE2\x80\x99t"), "can't");
  EXPECT_EQ(Resolved("Dec."), "Dec.");
  // A lone final period is the sentence's when the word before it is a headword.
  EXPECT_EQ(Resolved("no."), "no");
  EXPECT_EQ(Resolved("No. "), "No");
}

TEST(Resolve, AHeadwordIsNeverReplacedByABaseForm) {
  for (const char* word : {"leaves", "better", "news", "us", "open"}) {
    const Resolution r = ResolveCopied(Dict(), word);
    EXPECT_EQ(r.text, word);
    EXPECT_FALSE(r.changed) << word;
  }
  EXPECT_EQ(Resolved("Leaves,"), "Leaves");
}

TEST(Resolve, RegularInflectionsReachTheirBase) {
  const std::pair<const char*, const char*> cases[] = {
      {"books", "book"},     {"needs", "need"},     {"talking", "talk"},  {"wanted", "want"},
      {"cities", "city"},    {"boxes", "box"},      {"horses", "horse"},  {"wolves", "wolf"},
      {"knives", "knife"},   {"carried", "carry"},  {"died", "die"},      {"dies", "die"},
      {"making", "make"},    {"running", "run"},    {"stopped", "stop"},  {"bigger", "big"},
      {"happier", "happy"},  {"happiest", "happy"}, {"larger", "large"},  {"agreed", "agree"},
      {"BOOKS", "book"},     {"opened", "open"},
  };
  for (const auto& [form, base] : cases) EXPECT_EQ(Resolved(form), base) << form;
}

TEST(Resolve, TheStemWithAnETakesPrecedence) {
  // hoped is hope, not hop (which doubles: hopped); used is use, not us; pasted is paste.
  EXPECT_EQ(Resolved("hoped"), "hope");
  EXPECT_EQ(Resolved("hopped"), "hop");
  EXPECT_EQ(Resolved("used"), "use");
  EXPECT_EQ(Resolved("using"), "use");
  EXPECT_EQ(Resolved("uses"), "use");
  EXPECT_EQ(Resolved("cared"), "care");
  EXPECT_EQ(Resolved("pasted"), "paste");
  EXPECT_EQ(Resolved("wanted"), "want");
}

TEST(Resolve, IrregularFormsReachTheirBase) {
  const std::pair<const char*, const char*> cases[] = {
      {"went", "go"},  {"gone", "go"},    {"children", "child"}, {"feet", "foot"}, {"mice", "mouse"},
      {"worse", "bad"}, {"was", "be"},    {"were", "be"},        {"been", "be"},   {"is", "be"},
      {"are", "be"},    {"am", "be"},     {"Went.", "go"},       {"made", "make"}, {"ran", "run"},
      {"best", "good"},
  };
  for (const auto& [form, base] : cases) EXPECT_EQ(Resolved(form), base) << form;
  EXPECT_GE(IrregularFormCount(), 400u);
}

TEST(Resolve, PhrasesTakeTheBaseOfAWord) {
  EXPECT_EQ(Resolved("looked up"), "look up");
  EXPECT_EQ(Resolved("Looking up,"), "look up");
  EXPECT_EQ(Resolved("ice creams"), "ice cream");
}

TEST(Resolve, PossessivesAndWordsSplitAcrossLines) {
  EXPECT_EQ(Resolved("John's"), "John");
  EXPECT_EQ(Resolved("John\xE2\x80\x99s,"), "John");
  EXPECT_EQ(Resolved("students'"), "student");
  EXPECT_EQ(Resolved("exam-\nple"), "example");
  EXPECT_EQ(Resolved("exam-\r\n  ple."), "example");
  EXPECT_EQ(Resolved("well-\nknown"), "well-known") << "only the hyphenated form is a headword";
  EXPECT_EQ(Resolved("para-\ngraph"), "paragraph") << "neither is: joined";
}

TEST(Resolve, ACandidateThatIsNoHeadwordIsNeverOffered) {
  // "walked" -> "walk" is not a headword here: the cleaned word goes into the box.
  const Resolution r = ResolveCopied(Dict(), "walked,");
  EXPECT_TRUE(r.taken);
  EXPECT_FALSE(r.changed);
  EXPECT_EQ(r.text, "walked");
  EXPECT_EQ(Resolved("recieve"), "recieve") << "misspellings are suggestions, never replacements";
}

TEST(Resolve, ReportsWhatChangedForTheBalloonTitle) {
  const Resolution books = ResolveCopied(Dict(), "books, ");
  EXPECT_TRUE(books.changed);
  EXPECT_EQ(books.cleaned, "books");
  EXPECT_EQ(books.text, "book");
  EXPECT_EQ(BalloonTitleFor(books), "books -> book");

  const Resolution plain = ResolveCopied(Dict(), " \"Book.\" ");
  EXPECT_FALSE(plain.changed) << "white space and punctuation only";
  EXPECT_EQ(BalloonTitleFor(plain), "Book");
}

TEST(Resolve, LongAndMultiLineCopiesStayExactlyAsCopied) {
  for (const std::string& copied : {std::string("the books on the shelf"), std::string("books\nand more"),
                                   std::string("book\r\nbook"), std::string(300, 'a')}) {
    const Resolution r = ResolveCopied(Dict(), copied);
    EXPECT_FALSE(r.taken) << copied;
    EXPECT_EQ(r.text, copied);
    EXPECT_EQ(BalloonTitleFor(r), copied);
  }
  EXPECT_TRUE(ResolveCopied(Dict(), "books on the shelf").taken) << "four words are a short copy";
}

TEST(Resolve, BadInputNeverFailsAndTextItCannotTakeStaysAsCopied) {
  const std::string hyphens(1000, '-');
  const std::string big(5 * 1024 * 1024, 'x');
  std::string binary;
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) binary.push_back(static_cast<char>(rng()));
  const std::string notTaken[] = {
      "",          "   ",          "\t\r\n",       "...",        "\xE2\x80\x9C\xE2\x80\x9D", hyphens,
      big,         binary,
  };
  for (const std::string& copied : notTaken) {
    const Resolution r = ResolveCopied(Dict(), copied);
    EXPECT_FALSE(r.taken) << copied.size();
    EXPECT_EQ(r.text, copied);
  }
  // Taken, but nothing to find: cleaned, never crashing.
  const std::string odd[] = {
      "\xDA\xA9\xD8\xAA\xD8\xA7\xD8\xA8",               // Persian
      "book\xDA\xA9\xD8\xAA\xD8\xA7\xD8\xA8",           // mixed script
      "\xF0\x9F\x93\x9A books \xF0\x9F\x93\x9A",        // emoji around a word
      "\xED\xA0\x80" "book",                            // a lone surrogate, encoded
      "bo\xFF\xFEok",                                   // invalid UTF-8
      "\xC3",                                           // truncated sequence
      std::string("bo\0ok", 5),
  };
  for (const std::string& copied : odd) {
    const Resolution r = ResolveCopied(Dict(), copied);
    EXPECT_FALSE(r.text.empty());
  }
  EXPECT_EQ(Resolved("\xF0\x9F\x93\x9A books \xF0\x9F\x93\x9A"), "\xF0\x9F\x93\x9A books \xF0\x9F\x93\x9A")
      << "an emoji is no punctuation";
  EXPECT_EQ(Resolved("\xD8\x8C\xDA\xA9\xD8\xAA\xD8\xA7\xD8\xA8\xD8\x9F"), "\xDA\xA9\xD8\xAA\xD8\xA7\xD8\xA8")
      << "Persian punctuation is cleaned like any other";
}

TEST(BaseCandidates, OrderAndLimits) {
  EXPECT_EQ(BaseCandidates("went"), std::vector<std::string>{"go"});
  const std::vector<std::string> hoped = BaseCandidates("hoped");
  ASSERT_GE(hoped.size(), 2u);
  EXPECT_EQ(hoped[0], "hope");
  EXPECT_EQ(hoped[1], "hop");
  EXPECT_TRUE(BaseCandidates("").empty());
  EXPECT_TRUE(BaseCandidates(std::string(100, 's')).empty());
  EXPECT_TRUE(BaseCandidates("\xDA\xA9\xD8\xAA\xD8\xA7\xD8\xA8\xD9\x87\xD8\xA7").empty());
}

}  // namespace
}  // namespace kelvara
