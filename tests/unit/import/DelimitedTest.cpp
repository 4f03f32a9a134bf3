// Tab-separated and CSV word lists: quoting, header rows, encodings, damage.
#include <gtest/gtest.h>

#include "import/Delimited.h"
#include "import/TextLines.h"

namespace kelvara::import {
namespace {

Source Parse(std::string_view bytes, Delimiter d) {
  Source source;
  std::string error;
  EXPECT_TRUE(ParseDelimited(bytes, d, "list", source, error)) << error;
  return source;
}

std::vector<std::pair<std::string, std::string>> Pairs(const Source& s) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const Entry& e : s.entries) out.emplace_back(e.headword, e.meaning);
  return out;
}

using P = std::vector<std::pair<std::string, std::string>>;

TEST(Delimited, TabSeparatedWithAHeaderRowExtraColumnsAndEmptyLines) {
  const Source s = Parse(
      "\xEF\xBB\xBFWord\tMeaning\r\ncat\tگربه\r\n\r\ndog\tسگ\tnoun\t\tanimal\r\nlonely\r\n", Delimiter::Tab);
  EXPECT_EQ(Pairs(s), (P{{"cat", "گربه"}, {"dog", "سگ\r\nnoun\r\nanimal"}, {"lonely", ""}}));
  EXPECT_EQ(Pairs(Parse("cat\tWord\nMeaning\tx\n", Delimiter::Tab)),
            (P{{"cat", "Word"}, {"Meaning", "x"}}))
      << "only a first row of column names is a header";
}

TEST(Delimited, TabSeparatedQuotesStayOnTheirLine) {
  EXPECT_EQ(Pairs(Parse("inch\t\"12\" is a foot\nnext\t\"quoted\ttab\"\nlast\t\"say \"\"hi\"\"\"\n", Delimiter::Tab)),
            (P{{"inch", "\"12\" is a foot"}, {"next", "quoted\ttab"}, {"last", "say \"hi\""}}))
      << "a quote that does not close before a tab or the line end is text";
  EXPECT_EQ(Pairs(Parse("a\t\"open\nb\tc\n", Delimiter::Tab)), (P{{"a", "\"open"}, {"b", "c"}}));
}

TEST(Delimited, CsvQuotingAsRfc4180) {
  const Source s = Parse(
      "headword,definition\n"
      "\"a, b\",\"say \"\"hi\"\"\"\n"
      "multi,\"line one\n"
      "line two\"\n"
      "plain \"quote\",x\n"
      "\"\",empty headword stays for the merge to count\n",
      Delimiter::Comma);
  EXPECT_EQ(Pairs(s), (P{{"a, b", "say \"hi\""},
                         {"multi", "line one\r\nline two"},
                         {"plain \"quote\"", "x"},
                         {"", "empty headword stays for the merge to count"}}));
}

TEST(Delimited, Utf16WithAByteOrderMark) {
  for (bool bigEndian : {false, true}) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    const std::u16string wide = u"cat,\"\u06AF\u0631\u0628\u0647\"\n";
    for (char16_t c : wide) {
      const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
      bytes += bigEndian ? hi : lo;
      bytes += bigEndian ? lo : hi;
    }
    EXPECT_EQ(Pairs(Parse(bytes, Delimiter::Comma)), (P{{"cat", "گربه"}}));
  }
}

TEST(Delimited, DamageIsRefusedWithTheLine) {
  Source s;
  std::string error;
  EXPECT_FALSE(ParseDelimited("ok,fine\n\"open,never closed\nmore\n", Delimiter::Comma, "list.csv", s, error));
  EXPECT_NE(error.find("list.csv: line 2: a quoted field is never closed"), std::string::npos) << error;
  EXPECT_TRUE(s.entries.empty());

  // An open quote must not swallow the rest of a huge file into one record.
  std::string big = "\"x\n";
  while (big.size() <= kMaxLineBytes + 100) big += std::string(1000, 'y') + "\n";
  EXPECT_FALSE(ParseDelimited(big, Delimiter::Comma, "big.csv", s, error));
  EXPECT_NE(error.find("longer than 1 MiB"), std::string::npos) << error;

  EXPECT_FALSE(ParseDelimited("a\tb\n\xFF\xFE\n", Delimiter::Tab, "bad.tsv", s, error));
  EXPECT_NE(error.find("line 2 is not valid UTF-8"), std::string::npos) << error;
}

}  // namespace
}  // namespace kelvara::import
