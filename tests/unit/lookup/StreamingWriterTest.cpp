// The streaming writer against the whole-table writer: the same rows give the same file, block
// boundaries and oversized entries included, and a failure leaves no file behind.
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <random>
#include <set>

#include "TestDictionary.h"
#include "lookup/CaseFold.h"
#include "lookup/FileAccess.h"

namespace kelvara {
namespace {

using test::FastOptions;
using test::TempDir;

WriteOptions Fixed(std::uint32_t headwordsPerBlock = format::kHeadwordsPerBlock,
                   std::size_t meaningBlockTarget = 0) {  // 0: the format's own rule
  WriteOptions options = FastOptions();
  options.saltAndNonce = std::vector<std::uint8_t>(28);
  for (std::size_t i = 0; i < 28; ++i) (*options.saltAndNonce)[i] = static_cast<std::uint8_t>(i * 7 + 1);
  options.headwordsPerBlock = headwordsPerBlock;
  options.meaningBlockTarget = meaningBlockTarget;
  return options;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t Columns(const std::vector<WordRow>& rows) {
  std::size_t columns = 2;
  for (const WordRow& row : rows) columns = std::max(columns, row.size());
  return columns;
}

std::vector<std::string_view> Rest(const WordRow& row) {
  return std::vector<std::string_view>(row.begin() + 1, row.end());
}

// The rows through the streaming writer, as the import hands them over.
std::string Stream(const std::filesystem::path& file, const std::vector<WordRow>& rows,
                   const WriteOptions& options) {
  const std::vector<std::uint32_t> order =
      IndexOrder(rows.size(), [&](std::size_t r) { return std::string_view(rows[r][0]); });
  StreamingDictionaryWriter writer(Columns(rows), options);
  for (const std::uint32_t r : order) {
    std::uint64_t size = 0;
    for (std::size_t c = 1; c < rows[r].size(); ++c) size += rows[r][c].size();
    writer.Plan(rows[r][0], size);
  }
  if (std::string failed = writer.Begin(file); !failed.empty()) return failed;
  for (const std::uint32_t r : order) {
    if (std::string failed = writer.Add(rows[r][0], Rest(rows[r])); !failed.empty()) return failed;
  }
  return writer.Finish();
}

// Both writers on the same rows (the streaming one sealing on a second thread and on the
// caller's): the same bytes, and a file that reads back every cell.
void ExpectSameFile(const std::vector<WordRow>& rows, const WriteOptions& options) {
  TempDir dir;
  const auto streamed = dir / "streamed.db";
  const EncodeResult whole = EncodeDictionary(rows, options);
  ASSERT_EQ(whole.error, "");
  WriteOptions inline_ = options;
  inline_.backgroundWrites = !options.backgroundWrites;
  ASSERT_EQ(Stream(streamed, rows, inline_), "");
  EXPECT_TRUE(ReadBytes(streamed) == whole.bytes) << "the streamed file differs from EncodeDictionary's ("
                                                  << (inline_.backgroundWrites ? "second thread" : "one thread") << ")";
  ASSERT_EQ(Stream(streamed, rows, options), "");
  EXPECT_TRUE(ReadBytes(streamed) == whole.bytes) << "the streamed file differs from EncodeDictionary's";
  OpenResult opened = Dictionary::Open(streamed);
  ASSERT_TRUE(opened.dict) << opened.message;
  ASSERT_EQ(opened.dict->size(), rows.size());
  std::multiset<WordRow> read, written;
  const std::size_t columns = Columns(rows);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    WordRow row, padded = rows[r];
    padded.resize(columns);
    for (std::size_t c = 0; c < columns; ++c) row.push_back(opened.dict->Cell(r, c).value_or("<damaged>"));
    read.insert(row);
    written.insert(padded);
  }
  EXPECT_EQ(read, written);
}

const std::vector<WordRow> kMixed = {
    {"apple", "سیب"},
    {"Apple", "a company"},
    {"interchangeable", "one for another"},
    {"interchange", "a junction\r\non two lines"},
    {"INTERCHANGE", ""},
    {"\xC3\x89" "clair", "pastry"},
    {"\xC3\xA9" "clair", "again"},
    {"stra\xC3\x9F" "e", "street", "third column"},
    {"zebra", ""},
    {"a", "first letter"},
    {"Aardvark", "\xD8\xA7\xD9\x85"},
};

TEST(StreamingWriter, SameBytesAsTheWholeTableWriter) {
  ExpectSameFile(kMixed, Fixed());
  {
    SCOPED_TRACE("many small blocks");
    ExpectSameFile(kMixed, Fixed(3, 16));
  }
  {
    SCOPED_TRACE("a block per row");
    ExpectSameFile(kMixed, Fixed(1, 1));
  }
  {
    SCOPED_TRACE("no rows");
    ExpectSameFile({}, Fixed());
  }
  ExpectSameFile({{"only", "one"}}, Fixed(2, 64));
}

TEST(StreamingWriter, BlocksThatEndExactlyAtAnEntry) {
  // Each row's meaning cell takes 4 + 12 bytes: a 32-byte block is full after exactly two rows,
  // and 6 rows fill 3 headword blocks of 2 exactly.
  std::vector<WordRow> rows;
  for (char c = 'a'; c < 'g'; ++c) rows.push_back({std::string(1, c), std::string(12, c)});
  ExpectSameFile(rows, Fixed(2, 32));
  ExpectSameFile(rows, Fixed(2, 16));
  {
    SCOPED_TRACE("one byte short of a boundary");
    ExpectSameFile(rows, Fixed(3, 33));
  }
}

TEST(StreamingWriter, AnEntryLargerThanABlock) {
  std::string big;
  for (int line = 0; line < 4000; ++line) big += "line " + std::to_string(line) + " of a long meaning\r\n";
  big += "end";
  ExpectSameFile({{"big", big}, {"after", "x"}, {"before", "y"}, {"bigger", big + big}}, Fixed());
  ExpectSameFile({{"big", big}}, Fixed(1, 16));
}

TEST(StreamingWriter, AFailureMidWriteLeavesNoFileAndTheOldOneUntouched) {
  TempDir dir;
  const auto file = dir / "Data.db";
  std::vector<WordRow> rows;
  for (int i = 0; i < 50; ++i) rows.push_back({"word" + std::to_string(100 + i), "meaning " + std::to_string(i)});
  const WriteOptions options = Fixed(4, 32);
  auto onlyTheTarget = [&](bool targetThere) {
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      EXPECT_EQ(e.path().filename(), "Data.db") << "a temporary file was left behind";
      ++files;
    }
    EXPECT_EQ(files, targetThere ? 1u : 0u);
  };

  // The rows planned as they are, then added with row `changed` changed by `change`.
  auto write = [&](StreamingDictionaryWriter& writer, std::size_t changed, auto change) {
    for (const WordRow& row : rows) writer.Plan(row[0], row[1].size());
    EXPECT_EQ(writer.Begin(file), "");
    std::string failed;
    for (std::size_t i = 0; i < rows.size() && failed.empty(); ++i) {
      WordRow row = rows[i];
      if (i == changed) change(row[1]);
      failed = writer.Add(row[0], Rest(row));
    }
    return failed;
  };

  // A row that no dictionary may hold, found when the first blocks are written already.
  {
    StreamingDictionaryWriter writer(2, options);
    const std::string failed = write(writer, 40, [](std::string& m) { m[2] = '\t'; });
    EXPECT_NE(failed.find("row 41: column 2 contains a tab"), std::string::npos) << failed;
    EXPECT_NE(writer.Add(rows[41][0], Rest(rows[41])), "") << "a failed writer stays failed";
    EXPECT_NE(writer.Finish(), "");
  }
  onlyTheTarget(false);

  // A row that is not the size planned; then a writer dropped before Finish. The old file
  // stays as it was through both.
  const std::vector<WordRow> old{{"old", "kept"}};
  ASSERT_EQ(WriteDictionaryFile(file, old, options), "");
  const auto before = ReadBytes(file);
  {
    StreamingDictionaryWriter writer(2, options);
    const std::string failed = write(writer, 9, [](std::string& m) { m += "!"; });
    EXPECT_NE(failed.find("differ from their plan"), std::string::npos) << failed;
  }
  {
    StreamingDictionaryWriter writer(2, options);
    for (const WordRow& row : rows) writer.Plan(row[0], row[1].size());
    ASSERT_EQ(writer.Begin(file), "");
    for (std::size_t i = 0; i < 30; ++i) ASSERT_EQ(writer.Add(rows[i][0], Rest(rows[i])), "");
  }
  {
    StreamingDictionaryWriter writer(2, options);
    for (const WordRow& row : rows) writer.Plan(row[0], row[1].size());
    ASSERT_EQ(writer.Begin(file), "");
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) ASSERT_EQ(writer.Add(rows[i][0], Rest(rows[i])), "");
    EXPECT_NE(writer.Finish().find("fewer rows"), std::string::npos);
  }
  onlyTheTarget(true);
  EXPECT_TRUE(ReadBytes(file) == before);

  // A version 1 file cannot be streamed; the plan is refused before anything is made.
  WriteOptions v1 = options;
  v1.formatVersion = format::kVersion1;
  StreamingDictionaryWriter writer(2, v1);
  writer.Plan("a", 1);
  EXPECT_NE(writer.Begin(dir / "v1.db"), "");
  onlyTheTarget(true);
}

// Rows whose meanings fill several of the writer's batches (a megabyte each), so that writes
// go on while rows are still being added.
std::vector<WordRow> ManyRows() {
  std::vector<WordRow> rows;
  for (int i = 0; i < 3000; ++i) {
    std::string meaning;
    for (int line = 0; line < 40; ++line) meaning += "line " + std::to_string(line) + " of meaning " + std::to_string(i) + "\r\n";
    rows.push_back({"word" + std::to_string(i * 7919 % 3000), meaning + "end"});
  }
  return rows;
}

TEST(StreamingWriter, ManyBatchesGiveTheSameBytes) {
  ExpectSameFile(ManyRows(), Fixed(64));
}

TEST(StreamingWriter, AWriteThatFailsOnTheWritingThreadIsReportedAndLeavesNothing) {
  TempDir dir;
  const auto file = dir / "Data.db";
  const std::vector<WordRow> rows = ManyRows();
  ASSERT_EQ(WriteDictionaryFile(file, std::vector<WordRow>{{"old", "kept"}}, Fixed()), "");
  const auto before = ReadBytes(file);

  // Which write fails, and how many writes the whole file takes.
  std::size_t writes = 0;
  {
    WriteOptions counting = Fixed(64);
    counting.writeFault = [&](std::uint64_t, std::size_t) {
      ++writes;
      return std::string();
    };
    ASSERT_EQ(Stream(dir / "counted.db", rows, counting), "");
    std::filesystem::remove(dir / "counted.db");
  }
  ASSERT_GT(writes, 6u) << "too few batches to fail one in the middle";

  for (const bool background : {true, false}) {
    for (const std::size_t failing : {std::size_t{1}, writes / 2, writes}) {
      SCOPED_TRACE((background ? "second thread, write " : "one thread, write ") + std::to_string(failing));
      WriteOptions options = Fixed(64);
      options.backgroundWrites = background;
      std::size_t seen = 0;
      options.writeFault = [&](std::uint64_t offset, std::size_t) {
        return ++seen == failing ? "Cannot write at " + std::to_string(offset) + ": No space left on device." : "";
      };
      const std::string failed = Stream(file, rows, options);
      EXPECT_NE(failed.find(": No space left on device."), std::string::npos) << failed;
      EXPECT_EQ(failed.find("Cannot write at "), 0u) << "the write's own sentence reaches the caller: " << failed;
      EXPECT_EQ(seen, failing) << "nothing is written after the failure";
      EXPECT_TRUE(ReadBytes(file) == before) << "the old file is as it was";
      std::size_t files = 0;
      for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(e.path().filename(), "Data.db") << "a temporary file was left behind";
        ++files;
      }
      EXPECT_EQ(files, 1u);
    }
  }
  // The first batch of meanings (a megabyte) fails while later rows are still being added.
  {
    std::size_t seen = 0, failedAt = 0;
    WriteOptions options = Fixed(64);
    options.writeFault = [&](std::uint64_t, std::size_t size) {
      ++seen;
      if (size < 512 * 1024 || failedAt != 0) return std::string();
      failedAt = seen;
      return std::string("Cannot write: No space left on device.");
    };
    EXPECT_EQ(Stream(file, rows, options), "Cannot write: No space left on device.");
    EXPECT_EQ(seen, failedAt);
    EXPECT_LT(failedAt, writes) << "not the last write";
    EXPECT_TRUE(ReadBytes(file) == before);
  }
  // A fault that is not a sentence of its own is told with the file's name.
  WriteOptions options = Fixed(64);
  options.writeFault = [](std::uint64_t, std::size_t) { return std::string("the disk is full"); };
  const std::string failed = Stream(file, rows, options);
  EXPECT_EQ(failed, "Cannot build " + PathForMessage(file) + ": the disk is full.");
  EXPECT_TRUE(ReadBytes(file) == before);
}

TEST(StreamingWriter, IndexOrderByFoldedHeadwordThenRow) {
  // Rows whose first eight folded bytes agree are ordered by the rest, then by row number.
  const std::vector<std::string> words = {"abcdefghZ", "ABCDEFGHa", "abcdefgh", "abcdefghz", "b", "ABCDEFGH", "\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89", "A"};
  const auto order = IndexOrder(words.size(), [&](std::size_t r) { return std::string_view(words[r]); });
  EXPECT_EQ(order, (std::vector<std::uint32_t>{8, 2, 5, 1, 0, 3, 4, 6, 7}));
}

TEST(StreamingWriter, ALargeTableIsOrderedAsAStableSortOfItsFoldedHeadwords) {
  // Enough rows to be sorted in two halves at once, with long runs that share their first eight
  // folded bytes (some across the middle), case variants and repeats.
  const std::string_view stems[] = {"interchange", "Interchangeable", "\xC3\x89" "clair", "\xC3\xA9" "CLAIR", "a", "ABCDEFGH", "abcdefgh"};
  std::vector<std::string> words;
  std::mt19937 rng(5);
  for (int i = 0; i < 90000; ++i) {
    std::string word(stems[rng() % std::size(stems)]);
    if (rng() % 3 != 0) word += std::to_string(rng() % 500);
    words.push_back(word);
  }
  const auto order = IndexOrder(words.size(), [&](std::size_t r) { return std::string_view(words[r]); });
  std::vector<std::string> folded(words.size());
  for (std::size_t r = 0; r < words.size(); ++r) ASSERT_TRUE(AppendFolded(words[r], folded[r], true));
  std::vector<std::uint32_t> expected(words.size());
  std::iota(expected.begin(), expected.end(), 0u);
  std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) { return folded[a] < folded[b]; });
  EXPECT_TRUE(order == expected);
}

}  // namespace
}  // namespace kelvara
