// Sources into rows: one row per headword, letter case aside, each source's text under its name;
// whatever the sources hold, the rows are ones the writer accepts.
#include <gtest/gtest.h>

#include "import/Merge.h"

namespace kelvara::import {
namespace {

Source Make(std::string name, const std::vector<Entry>& entries) {
  Source source{std::move(name), {}};
  for (const Entry& e : entries) source.entries.Add(e.headword, e.meaning);
  return source;
}

TEST(Merge, AHeadwordInSeveralSourcesIsOneRowWithEachTextUnderItsSource) {
  std::vector<Source> sources;
  sources.push_back(Make("First", {{"apple", "a1"}, {"pear", "p1"}, {"Apple", "a2"}}));
  sources.push_back(Make("Second", {{"APPLE", "a3"}, {"plum", "u1"}}));
  MergeStats stats;
  const std::vector<WordRow> rows = MergeToRows({}, "", std::move(sources), stats);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "apple") << "the spelling met first";
  EXPECT_EQ(rows[0][1],
            SourceNameLine("First") + "\r\na1\r\n\r\na2\r\n\r\n" + SourceNameLine("Second") + "\r\na3");
  EXPECT_EQ(rows[1], (WordRow{"pear", "p1"})) << "a single text has no name line";
  EXPECT_EQ(rows[2], (WordRow{"plum", "u1"}));
  EXPECT_EQ(stats.entries, 5u);
  EXPECT_EQ(stats.joined, 2u);
  EXPECT_EQ(stats.rows, 3u);
}

TEST(Merge, ExistingRowsStayFirstAndKeepTheirColumns) {
  std::vector<WordRow> existing{{"cat", "گربه", "extra"}, {"dog", "سگ"}, {"Dog", "duplicate kept"}};
  std::vector<Source> sources;
  sources.push_back(Make("WordNet", {{"zebra", "z"}, {"dog", "a domestic animal"}, {"", "no word"}}));
  MergeStats stats;
  const std::vector<WordRow> rows = MergeToRows(existing, "Data.db", std::move(sources), stats);
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
  const std::vector<WordRow> rows = MergeToRows({}, "", std::move(sources), stats);
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

TEST(Merge, RowsViewTheSourcesTextAndJoinOnlyWhenAsked) {
  std::vector<Source> sources;
  sources.push_back(Make("First", {{"cat", "a pet"}, {"Cat", "again"}, {"dog", "tab\there"}}));
  MergeStats stats;
  MergedRows rows = MergeSources({{"ant", "an insect", "x"}}, "Data.db", std::move(sources), stats);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows.ColumnCount(), 3u);
  std::vector<std::string_view> cells;
  rows.Cells(0, cells);
  EXPECT_EQ(cells, (std::vector<std::string_view>{"an insect", "x"}));
  rows.Cells(1, cells);
  EXPECT_EQ(cells[0], SourceNameLine("First") + "\r\na pet\r\n\r\nagain");
  EXPECT_EQ(cells[1], "") << "imported rows have the further columns empty";
  rows.Cells(2, cells);
  EXPECT_EQ(cells[0], "tab here");
  EXPECT_EQ(stats.cleaned, 1u);

  // A row with one sound text is the source's own bytes, not a copy.
  std::vector<Source> one;
  one.push_back(Make("Only", {{"cat", "a pet"}}));
  const char* const kept = one[0].entries[0].meaning.data();
  MergedRows single = MergeSources({}, "", std::move(one), stats);
  single.Cells(0, cells);
  EXPECT_EQ(cells[0].data(), kept);
}

TEST(Merge, ARowsSizeIsCountedAsItsCellsWouldBeJoined) {
  std::vector<Source> sources;
  sources.push_back(Make("First", {{"cat", "a pet"}, {"Cat", ""}, {"CAT", "third"}, {"dog", ""}, {"Dog", "woof"},
                                   {"owl", "hoot"}, {"emu", ""}, {"EMU", ""}}));
  sources.push_back(Make("Second source", {{"cat", "x"}, {"owl", ""}, {"ant", "again"}, {"emu", "bird"}}));
  MergeStats stats;
  MergedRows rows = MergeSources({{"ant", "an insect", "x", "yz"}, {"bee", "", "q"}, {"Ant", "kept twice"}},
                                 "Data.db", std::move(sources), stats);
  ASSERT_EQ(rows.ColumnCount(), 4u);
  std::vector<std::string_view> cells;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    rows.Cells(r, cells);
    std::uint64_t joined = 0;
    for (const std::string_view cell : cells) joined += cell.size();
    EXPECT_EQ(rows.CellsSize(r), joined) << rows.Headword(r);
  }
}

}  // namespace
}  // namespace kelvara::import
