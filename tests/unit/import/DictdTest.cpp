#include <gtest/gtest.h>

#include "Samples.h"
#include "import/Dictd.h"
#include "import/Merge.h"
#include "lookup/DictionaryWriter.h"

namespace kelvara::import {
namespace {

using samples::DictdSample;

std::string Read(const DictdSample& d, Source* result = nullptr) {
  Source source;
  std::string error;
  const bool ok = ReadDictdBytes(d.index, d.dict, source, error);
  EXPECT_EQ(ok, error.empty()) << error;
  if (result != nullptr) *result = std::move(source);
  return error;
}

DictdSample Pets() {
  DictdSample d;
  d.Add("00-database-short", "00-database-short\n     Pets, English-English\n");
  d.Add("00databaseutf8", "00-database-utf8\n");
  d.Add("cat", "cat /k\xC3\xA6t/\n  a small pet\n\n");
  d.Add("dog", "dog\n  a loyal pet\n");
  d.Add("dog", "dog\n  to follow closely\n");
  return d;
}

TEST(Dictd, DatabaseEntriesNameTheDictionaryAndAreNoHeadwords) {
  Source source;
  ASSERT_EQ(Read(Pets(), &source), "");
  EXPECT_EQ(source.name, "Pets, English-English");
  ASSERT_EQ(source.entries.size(), 3u);  // index lines less the 00-database ones
  EXPECT_EQ(source.entries[0].headword, "cat");
  // The headword line stays, as dict shows it: it holds the spelling and pronunciation.
  EXPECT_EQ(source.entries[0].meaning, "cat /k\xC3\xA6t/\r\n  a small pet");
  EXPECT_EQ(source.entries[2].meaning, "dog\r\n  to follow closely");
}

TEST(Dictd, HeadwordsFromTheIndexOrItsOriginalColumnOrTheHeadwordLine) {
  DictdSample d;
  d.Add("", "\xC2\xB4 (acute)\nAkut\n");  // the index folded "´" away to nothing
  d.Add("dont", "don't\n  do not\n");
  d.index += "dont\t" + samples::Base64(d.dict.size() - 15) + "\t" + samples::Base64(15) + "\tdon't\n";
  Source source;
  ASSERT_EQ(Read(d, &source), "");
  ASSERT_EQ(source.entries.size(), 3u);
  EXPECT_EQ(source.entries[0].headword, "\xC2\xB4 (acute)");
  EXPECT_EQ(source.entries[1].headword, "dont");
  EXPECT_EQ(source.entries[2].headword, "don't");
  EXPECT_EQ(source.name, "");  // no 00-database-short: the file's name stands in (files only)
}

TEST(Dictd, EightBitDictionariesAreLatin1UnlessTheySayUtf8) {
  DictdSample d;
  d.Add("caf\xE9", "caf\xE9\n  coffee house\n");
  Source source;
  ASSERT_EQ(Read(d, &source), "");
  EXPECT_EQ(source.entries[0].headword, "caf\xC3\xA9");
  EXPECT_EQ(source.entries[0].meaning, "caf\xC3\xA9\r\n  coffee house");
  DictdSample claims = Pets();
  claims.Add("cafe", "caf\xE9\n");
  EXPECT_NE(Read(claims).find("is not valid UTF-8"), std::string::npos);
}

TEST(Dictd, MeaningsAreCheckedOnceAndWhatTheReaderCannotVouchForIsMendedByTheMerge) {
  // Sound meanings are vouched for, so the merge does not scan them again.
  Source pets;
  ASSERT_EQ(Read(Pets(), &pets), "");
  EXPECT_TRUE(pets.meaningsSound);

  // A tab or a NUL in a definition: not vouched for, and mended on the way into rows.
  DictdSample odd = Pets();
  odd.Add("owl", "owl\n  hoots\tat night\n");
  odd.Add("emu", std::string("emu\n  a \0bird\n", 14));
  Source source;
  ASSERT_EQ(Read(odd, &source), "");
  EXPECT_FALSE(source.meaningsSound);
  std::vector<Source> sources;
  sources.push_back(std::move(source));
  MergeStats stats;
  const std::vector<WordRow> rows = MergeToRows({}, "", std::move(sources), stats);
  for (const WordRow& row : rows) EXPECT_EQ(CheckRow(row), "") << row[0];
  EXPECT_EQ(rows[2][1], "owl\r\n  hoots at night");
  EXPECT_EQ(rows[3][1], "emu\r\n  a bird");

  // Latin-1 text: converted before its first line stands in for an empty headword.
  DictdSample latin;
  latin.Add("", "caf\xE9\n  coffee house\n");
  latin.Add("tea", "tea\n  \xB7 a drink\n");
  ASSERT_EQ(Read(latin, &source), "");
  EXPECT_EQ(source.entries[0].headword, "caf\xC3\xA9");
  EXPECT_EQ(source.entries[1].meaning, "tea\r\n  \xC2\xB7 a drink");
  EXPECT_TRUE(source.meaningsSound);
}

TEST(Dictd, DictzipDefinitionsAreReadByRandomAccess) {
  DictdSample d;
  for (int i = 0; i < 500; ++i) d.Add("word" + std::to_string(i), "definition " + std::to_string(i) + "\n");
  // The index in another order than the data, as sorted indexes are.
  Source source;
  std::string error;
  ASSERT_TRUE(ReadDictdBytes(d.index, samples::Dictzip(d.dict, 200), source, error)) << error;
  ASSERT_EQ(source.entries.size(), 500u);
  EXPECT_EQ(source.entries[377].meaning, "definition 377");
}

TEST(Dictd, LiesAndDamageAreNamedByLine) {
  DictdSample past = Pets();
  past.dict.resize(past.dict.size() - 1);
  std::string error = Read(past);
  EXPECT_NE(error.find("line 5 (\"dog\")"), std::string::npos) << error;
  EXPECT_NE(error.find("past the end of the .dict"), std::string::npos) << error;

  DictdSample badNumber = Pets();
  badNumber.index += "emu\tA!\tB\n";
  EXPECT_NE(Read(badNumber).find("line 6 (\"emu\"): the offset \"A!\""), std::string::npos);
  DictdSample fields = Pets();
  fields.index += "emu only\n";
  EXPECT_NE(Read(fields).find("line 6: expected a headword"), std::string::npos);
  DictdSample huge = Pets();
  huge.index += "emu\t" + samples::Base64(UINT64_MAX) + "\tB\n";
  EXPECT_NE(Read(huge).find("line 6"), std::string::npos);
  DictdSample longLine = Pets();
  longLine.index += std::string(200000, 'x');  // a runaway line, no tab, no end
  EXPECT_NE(Read(longLine).find("line 6 is longer than"), std::string::npos);
  EXPECT_NE(Read(DictdSample{}).find("lists no headwords"), std::string::npos);
  for (std::size_t cut = 0; cut < Pets().index.size(); ++cut) {
    DictdSample cutDown = Pets();
    cutDown.index.resize(cut);
    Source source;
    ReadDictdBytes(cutDown.index, cutDown.dict, source, error);  // any outcome but a crash
  }
}

TEST(Dictd, FilesBesideTheIndex) {
  const auto dir = std::filesystem::temp_directory_path() / "kelvara-dictd-files-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const DictdSample d = Pets();
  samples::WriteFile(dir / "pets.index", d.index);
  Source source;
  std::string error;
  ASSERT_FALSE(ReadDictd(dir / "pets.index", source, error));
  EXPECT_NE(error.find("pets.dict (or .dict.dz) are missing"), std::string::npos) << error;
  samples::WriteFile(dir / "pets.dict.dz", samples::Dictzip(d.dict, 64));
  ASSERT_TRUE(ReadDictd(dir / "pets.index", source, error)) << error;
  EXPECT_EQ(source.entries.size(), 3u);
  samples::WriteFile(dir / "pets.dict.dz", samples::Dictzip(d.dict, 64).substr(0, 40));
  ASSERT_FALSE(ReadDictd(dir / "pets.index", source, error));
  EXPECT_NE(error.find("pets.dict.dz"), std::string::npos) << error;
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelvara::import
