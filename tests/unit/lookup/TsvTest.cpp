// The tab-separated source: what is accepted, what stops a build, and that a dump rebuilds the
// same dictionary.
#include <gtest/gtest.h>

#include "TestDictionary.h"
#include "lookup/Tsv.h"

namespace kelvara {
namespace {

using Rows = std::vector<WordRow>;

TEST(TsvParsing, AcceptsBomCrlfEmptyMeaningsExtraColumnsAndBlankLines) {
  const TsvParseResult r = ParseTsv(
      "\xEF\xBB\xBF" "apple\tسیب\r\n"
      "\n"
      "ab\t\n"
      "cat\tگربه\tnoun\t\r\n"
      " ice cream \tبستنی");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.rows, (Rows{{"apple", "سیب"},
                          {"ab", ""},
                          {"cat", "گربه", "noun", ""},
                          {" ice cream ", "بستنی"}}));
}

TEST(TsvParsing, FirstBadLineStopsWithItsNumberAndReason) {
  struct Case {
    std::string text;
    std::size_t line;
    std::string reasonPart;
  };
  const std::vector<Case> cases = {
      {"a\tb\nno tab here\nc\td\n", 2, "no tab"},
      {"a\tb\r\n\r\n\tmeaning\n", 3, "headword is empty"},
      {"a\tb\nbad\xC3\x28\tx\n", 2, "UTF-8"},
      {"a\tb\nc\t\xED\xA0\x80\n", 2, "UTF-8"},  // a surrogate
      {std::string("a\tb\nc\td\ne\tf\0g\n", 15), 3, "NUL"},
      {"a\rb\tc\td\n", 1, "the headword contains a line break"},
      {"\xEF\xBB\xBFno tab", 1, "no tab"},
      // A second mark (two files joined) would become part of the headword, invisibly.
      {"\xEF\xBB\xBF\xEF\xBB\xBF" "a\tb\n", 1, "byte order mark"},
      {"a\tb\n\xEF\xBB\xBF" "c\td\n", 2, "byte order mark"},
  };
  for (const Case& c : cases) {
    const TsvParseResult r = ParseTsv(c.text);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.errorLine, c.line) << r.error;
    EXPECT_NE(r.error.find(c.reasonPart), std::string::npos) << r.error;
    EXPECT_TRUE(r.rows.empty()) << "nothing half-parsed is handed on";
  }
}

TEST(TsvParsing, EmptyInputIsAnEmptyTable) {
  EXPECT_TRUE(ParseTsv("").ok());
  EXPECT_TRUE(ParseTsv("\xEF\xBB\xBF").rows.empty());
  EXPECT_TRUE(ParseTsv("\n\r\n\n").ok());
}

TEST(TsvDump, RebuildsAnIdenticalDictionary) {
  const TsvParseResult source = ParseTsv(
      "cat\tگربه\r\nAbbey\tصومعه\tx\ty\nab\t\nab\tduplicate kept\n\xE2\x84\xAA" "elvin\tK\n");
  ASSERT_TRUE(source.ok());
  auto first = test::Make(source.rows);
  std::string problem;
  const std::string dump = FormatTsv(*first, problem);
  EXPECT_EQ(problem, "");
  // Rows come back in index order (how version 2 stores them), duplicates in source order.
  EXPECT_EQ(dump,
            "ab\t\t\t\nab\tduplicate kept\t\t\nAbbey\tصومعه\tx\ty\ncat\tگربه\t\t\n"
            "\xE2\x84\xAA" "elvin\tK\t\t\n");
  const TsvParseResult again = ParseTsv(dump);
  ASSERT_TRUE(again.ok());
  auto second = test::Make(again.rows);
  EXPECT_EQ(FormatTsv(*second, problem), dump);
  ASSERT_EQ(second->size(), first->size());
  for (std::size_t i = 0; i < first->size(); ++i) {
    EXPECT_EQ(second->SortedRow(i), first->SortedRow(i));
    for (std::size_t c = 0; c < first->ColumnCount(); ++c) EXPECT_EQ(second->Cell(i, c), first->Cell(i, c));
  }
}

TEST(TsvDump, MeaningsWithLinesRebuildToo) {
  // Imported meanings hold CR LF line breaks, at the end of a cell too.
  const std::vector<WordRow> rows{{"go", "verb\r\n  to move"}, {"end", "last\r\n"},
                                  {"mid", "a\r\n", "b"}, {"plain", "x"}};
  auto first = test::Make(rows);
  std::string problem;
  const std::string dump = FormatTsv(*first, problem);
  EXPECT_EQ(problem, "");
  // Version 2 keeps its rows in index order.
  EXPECT_EQ(dump, "end\tlast\r\t\ngo\tverb\r  to move\t\nmid\ta\r\tb\nplain\tx\t\n");
  const TsvParseResult again = ParseTsv(dump);
  ASSERT_TRUE(again.ok()) << again.error;
  auto second = test::Make(again.rows);
  ASSERT_EQ(second->size(), first->size());
  for (std::size_t i = 0; i < first->size(); ++i) {
    for (std::size_t c = 0; c < first->ColumnCount(); ++c) EXPECT_EQ(second->Cell(i, c), first->Cell(i, c));
  }
  // A meaning that ends the row with a line break: the row's own line end is then CR LF.
  auto last = test::Make({{"end", "last\r\n"}});
  EXPECT_EQ(FormatTsv(*last, problem), "end\tlast\r\r\n");
  EXPECT_EQ(ParseTsv(FormatTsv(*last, problem)).rows, (std::vector<WordRow>{{"end", "last\r\n"}}));
}

}  // namespace
}  // namespace kelvara
