// Data.db in format version 2: a directory read at opening, blocks read when a lookup needs
// them. What survives a round trip, how every cut and changed byte is found, and how damage in a
// block shows at lookup while the rest of the dictionary goes on working.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "TestDictionary.h"
#include "lookup/Crypto.h"
#include "lookup/Format.h"
#include "lookup/Utf8.h"
#include "lookup/Tsv.h"

namespace kelvara {
namespace {

using test::Encode;
using test::FastOptions;

const std::vector<WordRow> kRows = {
    {"cat", "گربه"}, {"Abbey", "صومعه", "extra"}, {"ab", ""}, {"cat food", "غذای گربه"}, {"Zebra", "گورخر"}};

// Tiny blocks, so that a small file has several of each kind.
WriteOptions SmallBlocks() {
  WriteOptions options = FastOptions();
  options.headwordsPerBlock = 2;
  options.meaningBlockTarget = 1;
  return options;
}

std::vector<std::uint8_t> SmallFile() { return Encode(kRows, SmallBlocks()); }

std::size_t DirectoryEnd(const std::vector<std::uint8_t>& file) {
  return format::kHeaderSize + format::LoadU32(&file[format::kOffDirectorySize]) + format::kTagSize;
}

// The directory as the reader decodes it (the key derived, the directory decrypted).
format::Directory DirectoryOf(const std::vector<std::uint8_t>& file) {
  format::Directory dir;
  crypto::Key key;
  format::KeyCheck check;
  EXPECT_TRUE(format::DeriveFileKey(kDictionaryPassword, std::span(file).subspan(format::kOffSalt, format::kSaltSize),
                                    format::LoadU32(&file[format::kOffIterations]), key, check));
  const std::size_t dirSize = format::LoadU32(&file[format::kOffDirectorySize]);
  std::vector<std::uint8_t> plain(dirSize);
  const auto nonce = format::BlockNonce(std::span(file).subspan(format::kOffNonce, crypto::kNonceSize), 0);
  EXPECT_EQ(crypto::AesGcmOpen(key, nonce, std::span(file).first(format::kHeaderSize),
                               std::span(file).subspan(format::kHeaderSize, dirSize),
                               std::span(file).subspan(format::kHeaderSize + dirSize).first<format::kTagSize>(), plain),
            crypto::OpenStatus::Ok);
  EXPECT_EQ(format::DecodeDirectory(plain, DirectoryEnd(file), file.size(), dir), "");
  return dir;
}

// Showing a meaning decrypts its whole block: blocks are a few rows, and only a table too large
// for that many directory entries gets larger ones.
TEST(Version2, MeaningBlocksAreSmallAndTheirCountIsBounded) {
  std::vector<WordRow> rows;
  for (int i = 0; i < 3000; ++i) rows.push_back({"w" + std::to_string(100000 + i), std::string(10 + i % 90, 'm')});
  const auto file = Encode(rows);
  const format::Directory dir = DirectoryOf(file);
  const std::size_t blocks = dir.meaningFirstRows.size();
  ASSERT_GT(blocks, 100u);
  for (std::size_t m = 0; m + 1 < blocks; ++m) {
    const std::size_t sealed = dir.blockSizes[dir.headwordHeads.size() + m];
    ASSERT_GE(sealed, format::kMinMeaningBlockTarget + format::kTagSize) << m;
    ASSERT_LT(sealed, format::kMinMeaningBlockTarget + format::kTagSize + 4 + 100) << "closed at the row that passed";
  }
  EXPECT_EQ(format::MeaningBlockTarget(0), format::kMinMeaningBlockTarget);
  EXPECT_EQ(format::MeaningBlockTarget(16u << 20), format::kMinMeaningBlockTarget);
  for (const std::uint64_t bytes : {std::uint64_t{200} << 20, std::uint64_t{1} << 31, (std::uint64_t{1} << 31) + 1}) {
    EXPECT_LE(bytes / format::MeaningBlockTarget(bytes), format::kMeaningBlockBound) << bytes;
    EXPECT_LT(format::MeaningBlockTarget(bytes), 40000u) << bytes;
  }
}

TEST(Version2, RowsComeBackInIndexOrderWithEveryColumn) {
  for (const WriteOptions& options : {FastOptions(), SmallBlocks()}) {
    auto opened = Dictionary::FromBytes(Encode(kRows, options));
    ASSERT_EQ(opened.error, DictError::None) << opened.message;
    const Dictionary& d = *opened.dict;
    EXPECT_EQ(d.FormatVersion(), 2);
    ASSERT_EQ(d.size(), 5u);
    EXPECT_EQ(d.ColumnNames(), (std::vector<std::string>{"English", "Meaning", "Column3"}));
    const std::vector<std::vector<std::string>> expected = {
        {"ab", "", ""}, {"Abbey", "صومعه", "extra"}, {"cat", "گربه", ""},
        {"cat food", "غذای گربه", ""}, {"Zebra", "گورخر", ""}};
    for (std::size_t r = 0; r < expected.size(); ++r) {
      EXPECT_EQ(d.SortedRow(r), r) << "row and index position are one";
      EXPECT_EQ(d.HeadwordAt(r), expected[r][0]);
      EXPECT_EQ(d.English(r), expected[r][0]);
      for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(d.Cell(r, c), expected[r][c]) << r << "," << c;
    }
    EXPECT_EQ(d.Cell(99, 1), "") << "out of range reads empty";
    EXPECT_EQ(d.Cell(0, 99), "");
    EXPECT_EQ(d.English(99), "");
    const SearchResult r = SearchWords(d, "CAT");
    EXPECT_EQ(test::Listed(d, "cat"), (std::vector<std::string>{"cat", "cat food"}));
    EXPECT_EQ(r.meaningText, "گربه");
    EXPECT_FALSE(r.damaged);
    EXPECT_EQ(d.CheckAllBlocks(), "");
  }
}

TEST(Version2, EmptyTableOpensAndFindsNothing) {
  auto opened = Dictionary::FromBytes(Encode({}));
  ASSERT_EQ(opened.error, DictError::None) << opened.message;
  EXPECT_EQ(opened.dict->size(), 0u);
  EXPECT_EQ(SearchWords(*opened.dict, "a").meaningText, NotFoundText);
  EXPECT_EQ(opened.dict->CheckAllBlocks(), "");
}

// Many blocks of both kinds, cut at odd places: every prefix finds what the older, whole-file
// format finds, with the same meanings.
TEST(Version2, SearchesAcrossBlockBoundariesAgreeWithVersion1) {
  std::mt19937 rng(14);
  std::vector<WordRow> rows;
  const std::string letters = "aabbcK\xC3\xA9 ";
  for (int i = 0; i < 3000; ++i) {
    std::string word;
    for (int n = 1 + static_cast<int>(rng() % 11); n > 0; --n) word += letters[rng() % letters.size()];
    if (word.empty() || (static_cast<unsigned char>(word[0]) & 0xC0) == 0x80 ||
        !utf8::IsValid(word)) {
      word = "x" + std::to_string(i);
    }
    rows.push_back({word, "m" + std::to_string(i) + std::string(rng() % 40, '.')});
  }
  WriteOptions v1 = FastOptions();
  v1.formatVersion = format::kVersion1;
  const auto old = Dictionary::FromBytes(Encode(rows, v1));
  ASSERT_TRUE(old.dict);
  // Blocks smaller than the search's sampling of heads (every 16th), and larger.
  for (const std::uint32_t perBlock : {7u, 101u}) {
  WriteOptions odd = FastOptions();
  odd.headwordsPerBlock = perBlock;
  odd.meaningBlockTarget = 100;
  const auto now = Dictionary::FromBytes(Encode(rows, odd));
  ASSERT_TRUE(now.dict);
  EXPECT_EQ(now.dict->CheckAllBlocks(), "");
  std::vector<std::string> words = {"", "a", "ab", "aab", "K", "k", "\xC3\xA9", "\xC3\x89" "a", "b ",
                                    "aabbaabb", "aabbaabba", "a?b", "[ab]b", "#", "x1", "x12"};
  for (int i = 0; i < 200; ++i) words.push_back(rows[rng() % rows.size()][0].substr(0, 1 + rng() % 9));
  for (const std::string& w : words) {
    const SearchResult a = SearchWords(*old.dict, w), b = SearchWords(*now.dict, w);
    ASSERT_EQ(test::Listed(*now.dict, w), test::Listed(*old.dict, w)) << w;
    ASSERT_EQ(b.meaningText, a.meaningText) << w;
    for (std::size_t i = 0; i < a.matches.size(); i += 97) ASSERT_EQ(b.matches.Meaning(i), a.matches.Meaning(i)) << w;
  }
  }
}

TEST(Version2, EveryTruncationIsReportedAsTruncated) {
  const auto file = SmallFile();
  for (std::size_t n = 0; n < file.size(); ++n) {
    const auto opened = Dictionary::FromBytes(std::span(file).first(n));
    ASSERT_EQ(opened.error, DictError::Truncated) << "cut to " << n << " bytes: " << opened.message;
    ASSERT_EQ(opened.dict, nullptr);
  }
  auto longer = file;
  longer.push_back(0);
  EXPECT_EQ(Dictionary::FromBytes(longer).error, DictError::Damaged) << "bytes after the end";
}

// Every byte flipped in turn: what opening reads (header, directory) fails to open and names the
// part that broke; a changed block opens, is found by the lookup that reads it and by the check
// of every block, and never shows its bytes as data.
TEST(Version2, EveryBitFlipIsDetectedAndNamed) {
  const auto file = SmallFile();
  const std::size_t directoryEnd = DirectoryEnd(file);
  ASSERT_GT(file.size(), directoryEnd + 8 * format::kTagSize) << "several blocks";
  std::map<DictError, int> seen;
  int foundByLookup = 0;
  for (std::size_t i = 0; i < file.size(); ++i) {
    for (std::uint8_t bit : std::initializer_list<std::uint8_t>{0x01, 0x80}) {
      auto damaged = file;
      damaged[i] ^= bit;
      const auto opened = Dictionary::FromBytes(damaged);
      if (i >= directoryEnd) {
        ASSERT_EQ(opened.error, DictError::None) << "byte " << i << ": " << opened.message;
        Dictionary& d = *opened.dict;
        std::vector<std::string> reports;
        d.OnDamage([&](const std::string& m) { reports.push_back(m); });
        bool shown = false;
        for (const char* word : {"a", "c", "z"}) {
          const SearchResult r = SearchWords(d, word);
          shown = shown || r.meaningText == DamagedMeaningText;
          for (std::size_t k = 0; k < r.matches.size(); ++k) {
            const auto meaning = r.matches.Meaning(k);
            ASSERT_TRUE(!meaning || *meaning == d.Meaning(r.matches.Row(k))) << "byte " << i;
          }
        }
        ASSERT_NE(d.CheckAllBlocks(), "") << "byte " << i;
        ASSERT_EQ(reports.size(), 1u) << "one report for the one damaged block, byte " << i;
        ASSERT_NE(reports[0].find("damaged"), std::string::npos);
        foundByLookup += shown;
        ++seen[DictError::None];
        continue;
      }
      DictError expected = DictError::Damaged;
      if (i < format::kMagic.size()) expected = DictError::NotADictionary;
      else if (i < format::kOffVersion + 2) expected = DictError::UnknownVersion;
      ASSERT_EQ(opened.error, expected) << "byte " << i << ": " << opened.message;
      ASSERT_FALSE(opened.message.empty());
      ++seen[opened.error];
    }
  }
  EXPECT_EQ(seen.size(), 4u);
  // The three lookups read the blocks of the first match of each letter and the bounds of the
  // search: most, not all, damaged blocks lie on their way.
  EXPECT_GT(foundByLookup, 0);
}

// Blocks of the same size swapped, or one copied from another file of the same shape: each
// block's nonce is its number and its header, so neither passes as the block it replaces.
TEST(Version2, BlocksCannotBeMovedOrTakenFromAnotherFile) {
  WriteOptions options = SmallBlocks();
  options.saltAndNonce = std::vector<std::uint8_t>(28, 3);
  const std::vector<WordRow> rows = {{"a", "xx"}, {"b", "yy"}};
  const auto file = Encode(rows, options);
  const std::size_t block = 4 + 2 + format::kTagSize;  // a meaning block: one end, two bytes, sealed
  ASSERT_EQ(file.size(), DirectoryEnd(file) + (8 + 2 + format::kTagSize) + 2 * block);
  auto swapped = file;
  const std::size_t second = file.size() - block, first = second - block;  // the meaning blocks
  std::swap_ranges(swapped.begin() + static_cast<std::ptrdiff_t>(first),
                   swapped.begin() + static_cast<std::ptrdiff_t>(second),
                   swapped.begin() + static_cast<std::ptrdiff_t>(second));
  auto opened = Dictionary::FromBytes(swapped);
  ASSERT_EQ(opened.error, DictError::None);
  EXPECT_EQ(opened.dict->Meaning(0), std::nullopt);
  EXPECT_EQ(opened.dict->Meaning(1), std::nullopt);

  options.saltAndNonce = std::vector<std::uint8_t>(28, 4);  // another file, same rows
  const auto other = Encode(rows, options);
  auto mixed = file;
  std::copy(other.begin() + static_cast<std::ptrdiff_t>(second), other.end(),
            mixed.begin() + static_cast<std::ptrdiff_t>(second));
  opened = Dictionary::FromBytes(mixed);
  ASSERT_EQ(opened.error, DictError::None);
  EXPECT_EQ(opened.dict->Meaning(0), "xx");
  EXPECT_EQ(opened.dict->Meaning(1), std::nullopt);
}

TEST(Version2, ForgedHeadersCannotStallOrOverrun) {
  using namespace format;
  auto reseal = [](std::vector<std::uint8_t> file) {
    StoreU32(&file[kOffHeaderCrc], Crc32(std::span(file).first(kOffHeaderCrc)));
    return Dictionary::FromBytes(file).error;
  };
  auto file = SmallFile();
  StoreU64(&file[kOffFileSize], ~std::uint64_t{0});
  EXPECT_EQ(reseal(file), DictError::Truncated) << "a file size past the end";
  file = SmallFile();
  StoreU64(&file[kOffFileSize], file.size() - 1);
  EXPECT_EQ(reseal(file), DictError::Damaged) << "a byte more than announced";
  file = SmallFile();
  StoreU32(&file[kOffDirectorySize], 0xFFFFFFFF);
  EXPECT_EQ(reseal(file), DictError::Damaged) << "a directory larger than the file";
  file = SmallFile();
  StoreU32(&file[kOffDirectorySize], LoadU32(&file[kOffDirectorySize]) - 1);
  EXPECT_EQ(reseal(file), DictError::Damaged) << "a directory cut by one byte fails its tag";
  // A header of the older version's reserved field holds the directory size here: not zero.
  EXPECT_NE(LoadU32(&SmallFile()[kOffDirectorySize]), 0u);
}

// Directories and blocks that pass their seals but do not hold together (a file forged with the
// published password, or a writer's fault): damaged, never read out of bounds.
struct RawV2 {
  std::uint32_t rows = 3, perBlock = 2, columns = 2;
  std::vector<std::uint64_t> heads;                               // per headword block
  std::vector<std::uint32_t> meaningFirsts = {0};
  std::vector<std::vector<std::uint8_t>> headBlocks, meaningBlocks;
  std::string table = "Words", first = "English";

  static std::vector<std::uint8_t> Entries(const std::vector<std::string>& cells) {
    std::vector<std::uint8_t> out;
    std::uint32_t end = 0;
    for (const auto& c : cells) format::AppendU32(out, end += static_cast<std::uint32_t>(c.size()));
    for (const auto& c : cells) out.insert(out.end(), c.begin(), c.end());
    return out;
  }
  static RawV2 Good() {  // "a", "b" | "c"; meanings "1", "2", "3" in one block
    RawV2 t;
    t.headBlocks = {Entries({"a", "b"}), Entries({"c"})};
    t.heads = {format::FoldedHead("a"), format::FoldedHead("c")};
    t.meaningBlocks = {Entries({"1", "2", "3"})};
    return t;
  }
  std::vector<std::uint8_t> Directory() const {
    std::vector<std::uint8_t> d;
    auto str = [&](const std::string& s) {
      format::AppendU32(d, static_cast<std::uint32_t>(s.size()));
      d.insert(d.end(), s.begin(), s.end());
    };
    str(table);
    format::AppendU32(d, columns);
    str(first);
    for (std::uint32_t c = 1; c < columns; ++c) str("Meaning");
    for (std::uint32_t v : {rows, perBlock, static_cast<std::uint32_t>(headBlocks.size()),
                            static_cast<std::uint32_t>(meaningBlocks.size())}) {
      format::AppendU32(d, v);
    }
    for (std::size_t b = 0; b < headBlocks.size(); ++b) {
      const std::size_t at = d.size();
      d.resize(at + 8);
      format::StoreU64(&d[at], b < heads.size() ? heads[b] : 0);
      format::AppendU32(d, static_cast<std::uint32_t>(headBlocks[b].size() + format::kTagSize));
    }
    for (std::size_t m = 0; m < meaningBlocks.size(); ++m) {
      format::AppendU32(d, m < meaningFirsts.size() ? meaningFirsts[m] : 0);
      format::AppendU32(d, static_cast<std::uint32_t>(meaningBlocks[m].size() + format::kTagSize));
    }
    return d;
  }
  std::vector<std::uint8_t> File() const {
    std::vector<std::vector<std::uint8_t>> parts = {Directory()};
    parts.insert(parts.end(), headBlocks.begin(), headBlocks.end());
    parts.insert(parts.end(), meaningBlocks.begin(), meaningBlocks.end());
    EncodeResult sealed = SealVersion2(parts, FastOptions());
    EXPECT_EQ(sealed.error, "");
    return sealed.bytes;
  }
};

TEST(Version2, SealedButInconsistentDirectoriesAreDamaged) {
  ASSERT_EQ(Dictionary::FromBytes(RawV2::Good().File()).error, DictError::None);
  std::vector<RawV2> bad(7, RawV2::Good());
  bad[0].rows = 5;                           // more rows than the headword blocks hold
  bad[1].perBlock = 0;
  bad[2].meaningFirsts = {1};                // the first meaning block must begin at row 0
  bad[3].meaningBlocks.push_back(RawV2::Entries({"x"}));  // a second block starting at row 0
  bad[4].heads = {format::FoldedHead("c"), format::FoldedHead("a")};  // blocks out of order
  bad[5].columns = 1;
  bad[6].meaningBlocks.clear();              // rows but no meanings
  for (std::size_t k = 0; k < bad.size(); ++k) {
    const auto opened = Dictionary::FromBytes(bad[k].File());
    EXPECT_EQ(opened.error, DictError::Damaged) << k << ": " << opened.message;
  }
  // A directory cut anywhere, resealed: damaged, never read past its end.
  const auto directory = RawV2::Good().Directory();
  for (std::size_t n = 0; n < directory.size(); ++n) {
    const std::vector<std::vector<std::uint8_t>> parts = {
        std::vector<std::uint8_t>(directory.begin(), directory.begin() + static_cast<std::ptrdiff_t>(n))};
    ASSERT_EQ(Dictionary::FromBytes(SealVersion2(parts, FastOptions()).bytes).error, DictError::Damaged) << n;
  }
  RawV2 otherTable = RawV2::Good(), otherColumn = RawV2::Good();
  otherTable.table = "Users";
  otherColumn.first = "Name";
  EXPECT_EQ(Dictionary::FromBytes(otherTable.File()).error, DictError::NotADictionary);
  EXPECT_EQ(Dictionary::FromBytes(otherColumn.File()).error, DictError::NotADictionary);
}

TEST(Version2, SealedButInconsistentBlocksAreDamagedWhenRead) {
  std::vector<RawV2> bad(7, RawV2::Good());
  bad[0].headBlocks[0] = RawV2::Entries({"b", "a"});  // out of order within a block
  bad[0].heads[0] = format::FoldedHead("b");
  bad[1].heads[0] = format::FoldedHead("A") + 1;      // the directory's head is not the block's
  bad[2].headBlocks[0] = RawV2::Entries({"a", "d"});  // reaches past the next block's head
  bad[3].headBlocks[0] = RawV2::Entries({"a", "b\xC3"});  // not UTF-8
  bad[4].headBlocks[1] = RawV2::Entries({"c", "d"});  // more entries than the rows allow
  bad[5].meaningBlocks[0] = RawV2::Entries({"1", "2"});  // fewer cells than rows
  bad[6].meaningBlocks[0].push_back('x');                // text after the last cell
  for (std::size_t k = 0; k < bad.size(); ++k) {
    const auto opened = Dictionary::FromBytes(bad[k].File());
    ASSERT_EQ(opened.error, DictError::None) << k << ": " << opened.message;
    const Dictionary& d = *opened.dict;
    EXPECT_NE(d.CheckAllBlocks(), "") << k;
    bool damageShown = false;
    for (const char* w : {"a", "b", "c", ""}) damageShown = damageShown || SearchWords(d, w).damaged;
    EXPECT_TRUE(damageShown) << k;
  }
}

// A dictionary big enough for many blocks of the real sizes: one damaged meaning block and one
// damaged headword block are found by the lookups that read them, shown as the Persian message,
// reported once each, and every other word still reads as written.
TEST(Version2, ADamagedBlockInABigFileIsShownAtLookupAndTheRestWorks) {
  std::vector<WordRow> rows;
  for (int i = 0; i < 20000; ++i) {
    rows.push_back({"w" + std::to_string(100000 + i), "meaning " + std::to_string(i) + " " + std::string(i % 50, '*')});
  }
  auto file = Encode(rows);
  auto opened = Dictionary::FromBytes(file);
  ASSERT_EQ(opened.error, DictError::None);
  ASSERT_EQ(opened.dict->CheckAllBlocks(), "");
  opened.dict.reset();

  // A meaning block after the headword blocks (20000 rows: 10 of them), and headword block 5 of
  // 10, each hit in its middle. Offsets come from the directory the reader trusts.
  const format::Directory dir = DirectoryOf(file);
  ASSERT_EQ(dir.headwordHeads.size(), 10u);
  ASSERT_GT(dir.meaningFirstRows.size(), 20u);
  const std::size_t meaningBlock = 7;  // rows [firsts[7], firsts[8])
  file[dir.blockOffsets[10 + meaningBlock] + 100] ^= 0x04;
  file[dir.blockOffsets[4] + 200] ^= 0x20;  // headword block 5: positions 8192..10239

  auto damaged = Dictionary::FromBytes(file);
  ASSERT_EQ(damaged.error, DictError::None) << "damage in blocks is found when they are read";
  Dictionary& d = *damaged.dict;
  std::vector<std::string> reports;
  d.OnDamage([&](const std::string& m) { reports.push_back(m); });

  const std::uint32_t hitRow = dir.meaningFirstRows[meaningBlock] + 1;
  const std::string hitWord(d.HeadwordAt(hitRow));
  for (int twice = 0; twice < 2; ++twice) {
    const SearchResult r = SearchWords(d, hitWord);
    EXPECT_TRUE(r.damaged);
    EXPECT_EQ(r.meaningText, DamagedMeaningText);
    EXPECT_EQ(r.matches.size(), 1u) << "the headword itself is intact";
  }
  ASSERT_EQ(reports.size(), 1u) << "reported once, however often it is read";
  EXPECT_NE(reports[0].find("meaning block 8 of"), std::string::npos) << reports[0];

  const SearchResult headHit = SearchWords(d, "w1090");  // rows 9000..9099 lie in headword block 5
  EXPECT_TRUE(headHit.damaged);
  EXPECT_EQ(headHit.meaningText, DamagedMeaningText);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_NE(reports[1].find("headword block 5 of 10"), std::string::npos) << reports[1];

  for (int i : {0, 1, 4999, 15000, 19999}) {
    const SearchResult r = SearchWords(d, rows[static_cast<std::size_t>(i)][0]);
    EXPECT_FALSE(r.damaged) << i;
    EXPECT_EQ(r.meaningText, rows[static_cast<std::size_t>(i)][1]);
  }
  EXPECT_EQ(test::Listed(d, "w11999").size(), 10u);
  EXPECT_NE(d.CheckAllBlocks(), "");
  std::string problem;
  (void)FormatTsv(d, problem);
  EXPECT_NE(problem, "") << "a dump stops at the damage instead of writing it out";
}

TEST(Version1Fixture, AFileOfTheOlderVersionOpensAndReadsAsWritten) {
  static const std::uint8_t kFile[] = {
#include "Version1Fixture.inc"
  };
  const auto opened = Dictionary::FromBytes(kFile);
  ASSERT_EQ(opened.error, DictError::None) << opened.message;
  const Dictionary& d = *opened.dict;
  EXPECT_EQ(d.FormatVersion(), 1);
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d.English(0), "cat") << "rows in the file's order";
  EXPECT_EQ(d.Cell(1, 2), "extra");
  EXPECT_EQ(d.Meaning(2), "");
  EXPECT_EQ(test::Listed(d, "ab"), (std::vector<std::string>{"ab", "Abbey"}));
  EXPECT_EQ(SearchWords(d, "cat ").meaningText, "غذای گربه");
  EXPECT_EQ(d.CheckAllBlocks(), "");
  std::string problem;
  EXPECT_EQ(FormatTsv(d, problem), "cat\tگربه\t\nAbbey\tصومعه\textra\nab\t\t\ncat food\tغذای گربه\t\n");
}

}  // namespace
}  // namespace kelvara
