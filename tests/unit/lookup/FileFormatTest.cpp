// Data.db as bytes in format version 1 (still read; written for tests only): what survives a
// round trip, and how each kind of damage is named. Version 2: FileFormatV2Test.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "TestDictionary.h"
#include "lookup/Crypto.h"
#include "lookup/Format.h"

namespace kelvara {
namespace {

using test::Encode;
using test::FastOptions;

const std::vector<WordRow> kRows = {
    {"cat", "گربه"}, {"Abbey", "صومعه", "extra"}, {"ab", ""}, {"cat food", "غذای گربه"}};

WriteOptions V1(WriteOptions options = FastOptions()) {
  options.formatVersion = format::kVersion1;
  return options;
}

std::vector<std::uint8_t> SmallFile() { return Encode(kRows, V1()); }

// A file around any payload, sealed the way the writer seals one: for content that the writer
// itself would never produce.
std::vector<std::uint8_t> Seal(const std::vector<std::uint8_t>& payload) {
  using namespace format;
  std::vector<std::uint8_t> file = SmallFile();
  file.resize(kHeaderSize);
  StoreU64(&file[kOffPayloadSize], payload.size());
  StoreU32(&file[kOffHeaderCrc], Crc32(std::span(file).first(kOffHeaderCrc)));
  crypto::Key key;
  KeyCheck check;
  EXPECT_TRUE(DeriveFileKey(kDictionaryPassword, std::span(file).subspan(kOffSalt, kSaltSize),
                            LoadU32(&file[kOffIterations]), key, check));
  file.resize(kHeaderSize + payload.size() + kTagSize);
  const std::span<std::uint8_t> all(file);
  EXPECT_TRUE(crypto::AesGcmSeal(key, all.subspan(kOffNonce, crypto::kNonceSize),
                                 all.first(kHeaderSize), payload,
                                 all.subspan(kHeaderSize, payload.size()),
                                 all.subspan(kHeaderSize + payload.size()).first<kTagSize>()));
  return file;
}

// The payload of a table with the given headwords, index and cell ends left for the test to spoil.
struct RawTable {
  std::string table = "Words";
  std::vector<std::string> columns = {"English", "Meaning"};
  std::vector<std::string> cells;  // column by column
  std::vector<std::uint32_t> ends;  // computed from cells when empty
  std::vector<std::uint32_t> sorted;
  std::uint32_t rows() const { return static_cast<std::uint32_t>(cells.size() / columns.size()); }

  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out;
    auto str = [&](const std::string& s) {
      format::AppendU32(out, static_cast<std::uint32_t>(s.size()));
      out.insert(out.end(), s.begin(), s.end());
    };
    str(table);
    format::AppendU32(out, static_cast<std::uint32_t>(columns.size()));
    for (const auto& c : columns) str(c);
    format::AppendU32(out, rows());
    std::string text;
    std::vector<std::uint32_t> cellEnds = ends;
    for (const auto& c : cells) {
      text += c;
      if (ends.empty()) cellEnds.push_back(static_cast<std::uint32_t>(text.size()));
    }
    format::AppendU32(out, static_cast<std::uint32_t>(text.size()));
    for (auto e : cellEnds) format::AppendU32(out, e);
    out.insert(out.end(), text.begin(), text.end());
    for (auto r : sorted) format::AppendU32(out, r);
    return out;
  }
};

RawTable GoodRaw() {
  RawTable t;
  t.cells = {"b", "A", "c", "1", "2", "3"};
  t.sorted = {1, 0, 2};
  return t;
}

TEST(FileRoundTrip, KeepsEveryRowColumnAndMeaningInFileOrder) {
  auto opened = Dictionary::FromBytes(SmallFile());
  ASSERT_EQ(opened.error, DictError::None) << opened.message;
  const Dictionary& d = *opened.dict;
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d.ColumnCount(), 3u) << "the widest row sets the columns";
  EXPECT_EQ(d.ColumnNames(), (std::vector<std::string>{"English", "Meaning", "Column3"}));
  for (std::size_t r = 0; r < kRows.size(); ++r) {
    EXPECT_EQ(d.English(r), kRows[r][0]);
    EXPECT_EQ(d.Meaning(r), kRows[r][1]);
    EXPECT_EQ(d.Cell(r, 2), kRows[r].size() > 2 ? kRows[r][2] : "");
  }
  EXPECT_EQ(d.Cell(99, 0), "") << "out of range reads empty";
  EXPECT_EQ(d.Cell(0, 99), "");
  EXPECT_EQ(d.FormatVersion(), 1);
  EXPECT_EQ(d.KdfIterations(), 1000u);
}

TEST(FileRoundTrip, EmptyTableOpensAndFindsNothing) {
  auto opened = Dictionary::FromBytes(Encode({}, V1()));
  ASSERT_EQ(opened.error, DictError::None) << opened.message;
  EXPECT_EQ(opened.dict->size(), 0u);
  EXPECT_EQ(SearchWords(*opened.dict, "a").meaningText, NotFoundText);
}

TEST(FileRoundTrip, SaltAndNonceAreFreshEachTimeUnlessFixed) {
  EXPECT_NE(SmallFile(), SmallFile());
  WriteOptions fixed = FastOptions();
  fixed.saltAndNonce = std::vector<std::uint8_t>(28, 7);
  EXPECT_EQ(Encode(kRows, fixed), Encode(kRows, fixed));
  EXPECT_EQ(Encode(kRows, V1(fixed)), Encode(kRows, V1(fixed)));
}

TEST(FileRoundTrip, ContentIsNotReadableWithoutThePassword) {
  for (const WriteOptions& options : {FastOptions(), V1()}) {
    const std::vector<std::uint8_t> file = Encode({{"uniqueheadword", "uniquemeaning"}}, options);
    const std::string bytes(file.begin(), file.end());
    EXPECT_EQ(bytes.find("uniqueheadword"), std::string::npos);
    EXPECT_EQ(bytes.find("uniquemeaning"), std::string::npos);
  }
}

TEST(WriterRejects, RowsThatCannotRoundTrip) {
  const std::vector<std::vector<WordRow>> bad = {
      {{"", "empty headword"}}, {{}},           {{"a\tb", "x"}},      {{"a", "x\ny"}},
      {{"a", "x\r"}},           {{"a\xFF", "x"}}, {{"a", std::string("x\0y", 3)}}};
  for (const auto& rows : bad) {
    EncodeResult r = EncodeDictionary(rows, FastOptions());
    EXPECT_NE(r.error, "");
    EXPECT_TRUE(r.bytes.empty());
  }
  WriteOptions slow = FastOptions();
  slow.kdfIterations = 10;
  EXPECT_NE(EncodeDictionary(kRows, slow).error, "") << "too few iterations";
}

TEST(OpeningErrors, WrongPasswordIsToldApartFromDamage) {
  auto opened = Dictionary::FromBytes(SmallFile(), "Record Key Mising");
  EXPECT_EQ(opened.error, DictError::WrongPassword);
  EXPECT_EQ(opened.dict, nullptr);
  EXPECT_NE(opened.message.find("password"), std::string::npos);

  WriteOptions other = V1();
  other.password = "another";
  EXPECT_EQ(Dictionary::FromBytes(Encode(kRows, other)).error, DictError::WrongPassword);
  EXPECT_EQ(Dictionary::FromBytes(Encode(kRows, other), "another").error, DictError::None);
}

TEST(OpeningErrors, ForeignFilesAreNotDictionaries) {
  const std::vector<std::string> foreign = {
      "hello\tworld\n", std::string("\0\1\0\0Standard Jet DB", 19), "KELVDB\n\n12345678",
      std::string(200, '\0')};
  for (const std::string& s : foreign) {
    const std::vector<std::uint8_t> bytes(s.begin(), s.end());
    EXPECT_EQ(Dictionary::FromBytes(bytes).error, DictError::NotADictionary) << s;
  }
}

TEST(OpeningErrors, OtherFormatVersionsAreUnknown) {
  for (std::uint16_t v : std::initializer_list<std::uint16_t>{0, 3, 0xFFFF}) {
    auto file = SmallFile();
    format::StoreU16(&file[format::kOffVersion], v);
    const auto opened = Dictionary::FromBytes(file);
    EXPECT_EQ(opened.error, DictError::UnknownVersion);
    EXPECT_NE(opened.message.find(std::to_string(v)), std::string::npos);
  }
  // A newer version may have a shorter header: still named by its version, not as cut short.
  auto file = SmallFile();
  format::StoreU16(&file[format::kOffVersion], 3);
  file.resize(12);
  EXPECT_EQ(Dictionary::FromBytes(file).error, DictError::UnknownVersion);
}

TEST(OpeningErrors, EveryTruncationIsReportedAsTruncated) {
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

// Every byte flipped in turn: the file never opens, and the error names the part that broke.
TEST(OpeningErrors, EveryBitFlipIsDetectedAndNamed) {
  const auto file = SmallFile();
  std::map<DictError, int> seen;
  for (std::size_t i = 0; i < file.size(); ++i) {
    for (std::uint8_t bit : std::initializer_list<std::uint8_t>{0x01, 0x80}) {
      auto damaged = file;
      damaged[i] ^= bit;
      const auto opened = Dictionary::FromBytes(damaged);
      DictError expected = DictError::Damaged;
      if (i < format::kMagic.size()) expected = DictError::NotADictionary;
      else if (i < format::kOffVersion + 2) expected = DictError::UnknownVersion;
      ASSERT_EQ(opened.error, expected) << "byte " << i << ": " << opened.message;
      ASSERT_FALSE(opened.message.empty());
      ++seen[opened.error];
    }
  }
  EXPECT_EQ(seen.size(), 3u);
}

TEST(OpeningErrors, ForgedHeadersCannotStallOrOverrun) {
  using namespace format;
  auto reseal = [](std::vector<std::uint8_t> file) {
    StoreU32(&file[kOffHeaderCrc], Crc32(std::span(file).first(kOffHeaderCrc)));
    return Dictionary::FromBytes(file).error;
  };
  auto file = SmallFile();
  StoreU32(&file[kOffIterations], 0xFFFFFFFF);
  EXPECT_EQ(reseal(file), DictError::Damaged) << "an absurd key-derivation cost is refused";
  file = SmallFile();
  StoreU64(&file[kOffPayloadSize], ~std::uint64_t{0});
  EXPECT_EQ(reseal(file), DictError::Truncated) << "a payload size past the end";
  file = SmallFile();
  StoreU64(&file[kOffPayloadSize], ~std::uint64_t{0} - 8);
  EXPECT_EQ(reseal(file), DictError::Truncated) << "no wrap-around in the size arithmetic";
  file = SmallFile();
  StoreU32(&file[kOffFlags], 1);
  EXPECT_EQ(reseal(file), DictError::Damaged);
}

TEST(OpeningErrors, SealedButInconsistentContentIsDamaged) {
  EXPECT_EQ(Dictionary::FromBytes(Seal(GoodRaw().Bytes())).error, DictError::None);

  RawTable unsorted = GoodRaw();
  unsorted.sorted = {0, 1, 2};  // "b" before "a"
  RawTable repeated = GoodRaw();
  repeated.sorted = {1, 1, 2};
  RawTable outOfRange = GoodRaw();
  outOfRange.sorted = {1, 0, 3};
  RawTable tiesReversed = GoodRaw();
  tiesReversed.cells = {"a", "A", "c", "1", "2", "3"};
  tiesReversed.sorted = {1, 0, 2};
  RawTable badEnds = GoodRaw();
  badEnds.ends = {1, 2, 1, 4, 5, 6};
  RawTable endsPastText = GoodRaw();
  endsPastText.ends = {1, 2, 3, 4, 5, 60};
  RawTable invalidUtf8 = GoodRaw();
  invalidUtf8.cells[0] = "\xC3";
  RawTable oneColumn = GoodRaw();
  oneColumn.columns = {"English"};
  const std::vector<RawTable> damaged = {unsorted,  repeated,     outOfRange, tiesReversed,
                                         badEnds,   endsPastText, invalidUtf8, oneColumn};
  for (const RawTable& t : damaged) {
    const auto opened = Dictionary::FromBytes(Seal(t.Bytes()));
    EXPECT_EQ(opened.error, DictError::Damaged) << opened.message;
  }
  auto trailing = GoodRaw().Bytes();
  trailing.push_back(0);
  EXPECT_EQ(Dictionary::FromBytes(Seal(trailing)).error, DictError::Damaged);
  // Every shorter payload is damaged, never read past its end.
  const auto good = GoodRaw().Bytes();
  for (std::size_t n = 0; n < good.size(); ++n) {
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    ASSERT_EQ(Dictionary::FromBytes(Seal(cut)).error, DictError::Damaged) << n;
  }

  RawTable otherTable = GoodRaw();
  otherTable.table = "Users";
  RawTable otherColumn = GoodRaw();
  otherColumn.columns = {"Name", "Meaning"};
  EXPECT_EQ(Dictionary::FromBytes(Seal(otherTable.Bytes())).error, DictError::NotADictionary);
  EXPECT_EQ(Dictionary::FromBytes(Seal(otherColumn.Bytes())).error, DictError::NotADictionary);
}

// Opening checks every headword's encoding in one pass over the whole column, and the order by
// the first eight folded bytes before any text: neither shortcut may let damage through.
TEST(OpeningErrors, HeadwordChecksCatchWhatTheirShortcutsCouldMiss) {
  RawTable split = GoodRaw();
  split.cells[0] = "b\xC3";     // row 1 ends with the lead byte of a character...
  split.cells[1] = "\xA9" "A";  // ...whose continuation begins row 2: valid only as one text
  const auto splitOpened = Dictionary::FromBytes(Seal(split.Bytes()));
  EXPECT_EQ(splitOpened.error, DictError::Damaged);
  EXPECT_NE(splitOpened.message.find("row 2 is not valid UTF-8"), std::string::npos)
      << splitOpened.message;

  RawTable late = GoodRaw();
  late.cells = {"abcdefghZ", "ABCDEFGHa", "c", "1", "2", "3"};
  late.sorted = {1, 0, 2};
  EXPECT_EQ(Dictionary::FromBytes(Seal(late.Bytes())).error, DictError::None);
  late.sorted = {0, 1, 2};  // out of order only at the ninth byte
  EXPECT_EQ(Dictionary::FromBytes(Seal(late.Bytes())).error, DictError::Damaged);

  RawTable tie = GoodRaw();
  tie.cells = {"abcdefgh\xC3\x89", "ABCDEFGH\xC3\xA9", "c", "1", "2", "3"};  // ...É, ...é
  tie.sorted = {0, 1, 2};
  EXPECT_EQ(Dictionary::FromBytes(Seal(tie.Bytes())).error, DictError::None);
  tie.sorted = {1, 0, 2};  // equal when folded, so file order decides
  EXPECT_EQ(Dictionary::FromBytes(Seal(tie.Bytes())).error, DictError::Damaged);
}

}  // namespace
}  // namespace kelvara
