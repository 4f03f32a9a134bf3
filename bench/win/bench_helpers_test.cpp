// The benchmarks' own arithmetic and data: summaries that say what they claim, and a dictionary
// generator that gives the same rows every time.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "BenchRows.h"
#include "BenchStats.h"

namespace kelvara::bench {
namespace {

namespace fs = std::filesystem;

TEST(BenchSummary, MedianOfOddAndEvenCountsAndNothing) {
  EXPECT_DOUBLE_EQ(Summarize({5, 1, 3}).median, 3);
  EXPECT_DOUBLE_EQ(Summarize({4, 1, 3, 2}).median, 2.5);
  const Summary none = Summarize({});
  EXPECT_EQ(none.count, 0u);
  EXPECT_DOUBLE_EQ(none.median, 0);
  EXPECT_DOUBLE_EQ(none.p99, 0);
}

TEST(BenchSummary, P99IsTheNearestRankSoFewSamplesReportTheirWorst) {
  std::vector<double> hundred, thirtyOne;
  for (int i = 1; i <= 100; ++i) hundred.push_back(i);
  for (int i = 1; i <= 31; ++i) thirtyOne.push_back(i);
  EXPECT_DOUBLE_EQ(Summarize(hundred).p99, 99);
  EXPECT_DOUBLE_EQ(Summarize(thirtyOne).p99, 31);
  EXPECT_DOUBLE_EQ(Summarize({7}).p99, 7);
  const Summary s = Summarize({2, 9, 4});
  EXPECT_DOUBLE_EQ(s.max, 9);
  EXPECT_DOUBLE_EQ(s.total, 15);
}

TEST(BenchSummary, RatioIsZeroRatherThanInfiniteWithoutTime) {
  EXPECT_DOUBLE_EQ(Ratio(10, 2), 5);
  EXPECT_DOUBLE_EQ(Ratio(10, 0), 0);
  EXPECT_DOUBLE_EQ(Ratio(0, 3), 0);
}

TEST(BenchPrefix, CountsCharactersNotBytes) {
  EXPECT_EQ(Utf8Prefix("apple", 2), "ap");
  EXPECT_EQ(Utf8Prefix("\xC3\xA9lan", 2), "\xC3\xA9l");                       // élan
  EXPECT_EQ(Utf8Prefix("\xDA\xA9\xD8\xAA\xD8\xA7\xD8\xA8", 1), "\xDA\xA9");  // کتاب
  EXPECT_EQ(Utf8Prefix("ox", 5), "ox");
  EXPECT_EQ(Utf8Prefix("", 2), "");
}

class BenchRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelvara-bench-rows-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(dir_);
    list_ = dir_ / "words.txt";
    std::ofstream out(list_, std::ios::binary);
    // Windows line ends and an empty line, as a hand-made list may have.
    for (int i = 0; i < 100; ++i) out << "word" << (i < 10 ? "0" : "") << i << "\r\n";
    out << "\r\n\xC3\xA9lan\n";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::vector<WordRow> Make(std::size_t wanted, std::uint32_t seed) {
    std::mt19937 rng(seed);
    return MakeBenchRows(list_, wanted, rng);
  }
  fs::path dir_, list_;
};

TEST_F(BenchRowsTest, SameSeedSameRowsOtherSeedOtherOrder) {
  const auto a = Make(40, kBenchSeed), b = Make(40, kBenchSeed), c = Make(40, kBenchSeed + 1);
  ASSERT_EQ(a.size(), 40u);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
}

TEST_F(BenchRowsTest, TakesAnEvenSpreadOfTheListAndEveryRowIsAValidEntry) {
  const auto rows = Make(20, kBenchSeed);
  ASSERT_EQ(rows.size(), 20u);
  std::set<std::string> headwords;
  for (const WordRow& row : rows) {
    ASSERT_EQ(row.size(), 2u);
    EXPECT_EQ(CheckRow(row), "");
    EXPECT_FALSE(row[1].empty());
    headwords.insert(row[0]);
  }
  // 101 words, 20 wanted: every fifth or so, from the first to near the last.
  EXPECT_EQ(headwords.size(), 20u);
  EXPECT_TRUE(headwords.count("word00"));
  EXPECT_TRUE(headwords.count("word95"));
  EXPECT_FALSE(headwords.count("word01"));
  for (const std::string& w : headwords) EXPECT_EQ(w.find('\r'), std::string::npos) << w;
}

TEST_F(BenchRowsTest, AskingForMoreThanTheListHoldsAddsPhrasesOfItsWords) {
  const auto rows = Make(1000, kBenchSeed);
  ASSERT_EQ(rows.size(), 1000u);
  bool sawAccent = false;
  for (std::size_t i = 0; i < 101; ++i) {
    sawAccent = sawAccent || rows[i][0] == "\xC3\xA9lan";
    EXPECT_EQ(rows[i][0].find(' '), std::string::npos) << "the whole list first";
  }
  EXPECT_TRUE(sawAccent);
  for (std::size_t i = 101; i < rows.size(); ++i) EXPECT_NE(rows[i][0].find(' '), std::string::npos) << i;
  EXPECT_EQ(Make(1000, kBenchSeed), rows) << "the same rows every time";
}

TEST_F(BenchRowsTest, AMissingListGivesNoRows) {
  std::mt19937 rng(kBenchSeed);
  EXPECT_TRUE(MakeBenchRows(dir_ / "no-such-list.txt", 10, rng).empty());
}

}  // namespace
}  // namespace kelvara::bench
