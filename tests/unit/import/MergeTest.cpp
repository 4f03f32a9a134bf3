// Sources into rows: one row per headword, letter case aside, each source's text under its name;
// whatever the sources hold, the rows are ones the writer accepts.
#include <gtest/gtest.h>

#include "import/Merge.h"

namespace kelvara::import {
namespace {

Source Make(std::string name, std::vector<Entry> entries) { return Source{std::move(name), std::move(entries)}; }

TEST(Merge, AHeadwordInSeveralSourcesIsOneRowWithEachTextUnderItsSource) {
  std::vector<Source> sources;
  sources.push_back(Make("First", {{"apple", "a1"}, {"pear", "p1"}, {"Apple", "a2"}}));
  sources.push_back(Make("Second", {{"APPLE", "a3"}, {"plum", "u1"}}));
  MergeStats stats;
  const std::vector<WordRow> rows = MergeSources({}, "", sources, stats);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "apple") << "the spelling met first";
  EXPECT_EQ(rows[0][1],
            SourceNameLine("First") + "\r\na1\r\n\r\na2\r\n\r\n" + SourceNameLine("Second") + "\r\na3");
  EXPECT_EQ(rows[1], (WordRow{"pear", "p1"})) << "a single text has no name line";
  EXPECT_EQ(rows[2], (WordRow{"plum", "u1"}));
  EXPECT_EQ(stats.entries, 5u);
  EXPECT_EQ(stats.joined, 2u);
  EXPECT_EQ(stats.rows, 3u);
  EXPECT_TRUE(sources[0].entries.empty()) << "entries are moved out and freed";
}

TEST(Merge, ExistingRowsStayFirstAndKeepTheirColumns) {
  std::vector<WordRow> existing{{"cat", "گربه", "extra"}, {"dog", "سگ"}, {"Dog", "duplicate kept"}};
  std::vector<Source> sources;
  sources.push_back(Make("WordNet", {{"zebra", "z"}, {"dog", "a domestic animal"}, {"", "no word"}}));
  MergeStats stats;
  const std::vector<WordRow> rows = MergeSources(existing, "Data.db", sources, stats);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (WordRow{"cat", "گربه", "extra"}));
  EXPECT_EQ(rows[1][1], SourceNameLine("Data.db") + "\r\nسگ\r\n\r\n" + SourceNameLine("WordNet") +
                            "\r\na domestic animal");
  EXPECT_EQ(rows[2], (WordRow{"Dog", "duplicate kept"})) << "repeats already in the file stay";
  EXPECT_EQ(rows[3], (WordRow{"zebra", "z"}));
  EXPECT_EQ(stats.skipped, 1u);
}

TEST(Merge, WhateverTheSourcesHoldTheRowsPassCheckRow) {
  std::vector<Source> sources;
  sources.push_back(Make("Odd", {
                                    {"tab\there", "a\tb"},
                                    {"line\nbreak\r", "one\ntwo\rthree\r\n"},
                                    {std::string("nul\0led", 7), std::string("m\0", 2)},
                                    {" \xEF\xBB\xBF \xEF\xBB\xBFmarked", "x"},
                                    {"bad\xFFutf8", "bad\xC0meaning"},
                                    {"  \t ", "only blanks"},
                                    {"", "nothing"},
                                    {"ok", ""},
                                }));
  sources.push_back(Make(std::string("bad\0name\twith\nbreaks", 20), {{"ok", "again"}}));
  MergeStats stats;
  const std::vector<WordRow> rows = MergeSources({}, "", sources, stats);
  for (const WordRow& row : rows) EXPECT_EQ(CheckRow(row), "") << row[0];
  EXPECT_EQ(rows.back()[1], SourceNameLine("Odd") + "\r\n\r\n" + SourceNameLine("badname with breaks") + "\r\nagain")
      << "a source's name is mended too (found by fuzzing)";
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0], (WordRow{"tab here", "a b"}));
  EXPECT_EQ(rows[1], (WordRow{"line break", "one\r\ntwo\r\nthree\r\n"}));
  EXPECT_EQ(rows[2][0], "nulled");
  EXPECT_EQ(rows[3][0], "marked");
  EXPECT_EQ(rows[4][0], "bad\xEF\xBF\xBDutf8");
  EXPECT_EQ(stats.skipped, 2u);
  EXPECT_EQ(stats.cleaned, 6u);
}

}  // namespace
}  // namespace kelvara::import
