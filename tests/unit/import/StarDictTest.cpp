#include <gtest/gtest.h>

#include "Samples.h"
#include "import/StarDict.h"

namespace kelvara::import {
namespace {

using samples::StarDictSample;

std::string Read(const StarDictSample& s, std::string_view sameTypes, std::string_view ifoExtra = {},
                 Source* result = nullptr) {
  Source source;
  std::string error;
  const std::string ifo = s.Ifo(sameTypes, ifoExtra);
  StarDictBytes files{ifo, s.idx, s.dict, std::nullopt};
  if (s.synonyms > 0) files.syn = s.syn;
  const bool ok = ReadStarDictBytes(files, source, error);
  EXPECT_EQ(ok, error.empty()) << error;
  if (result != nullptr) *result = std::move(source);
  return error;
}

TEST(StarDict, ReadsHeadwordsSynonymsAndName) {
  StarDictSample s;
  s.Add("cat", "a small pet\nthat purrs");
  s.Add("dog", "a loyal pet");
  s.AddSynonym("kitty", 0);
  s.AddSynonym("puss", 0);
  Source source;
  ASSERT_EQ(Read(s, "m", {}, &source), "");
  EXPECT_EQ(source.name, "Sample Book");
  ASSERT_EQ(source.entries.size(), 4u);  // wordcount + synwordcount
  EXPECT_EQ(source.entries[0].headword, "cat");
  EXPECT_EQ(source.entries[0].meaning, "a small pet\r\nthat purrs");
  EXPECT_EQ(source.entries[1].meaning, "a loyal pet");
  EXPECT_EQ(source.entries[2].headword, "kitty");
  EXPECT_EQ(source.entries[2].meaning, source.entries[0].meaning);
  EXPECT_EQ(source.entries[3].headword, "puss");
}

TEST(StarDict, TypesAreKeptConvertedOrDropped) {
  StarDictSample s;
  // Per-entry types: phonetic, HTML, a sound (dropped), Pango, a resource list (dropped).
  std::string data = std::string("tk\xC3\xA6t") + '\0' + "h<b>cat</b> &amp; kitten" + '\0' + "W";
  samples::PutBe32(data, 3);
  data += std::string("\0\1\2", 3) + "g<i>felis</i>" + '\0' + "rimg:cat.png" + '\0';
  s.Add("cat", data);
  s.Add("gray", std::string("x<k>gray</k> <c c=\"gray\">grey</c>") + '\0');
  Source source;
  ASSERT_EQ(Read(s, "", {}, &source), "");
  EXPECT_EQ(source.entries[0].meaning, "[k\xC3\xA6t]\r\ncat & kitten\r\nfelis");
  EXPECT_EQ(source.entries[1].meaning, "gray grey");

  // sametypesequence: no type bytes; the last field has no terminator or size.
  StarDictSample same;
  same.Add("cat", std::string("k\xC3\xA6t") + '\0' + "a pet");
  std::string withPicture = std::string("d\xC9\x94g") + '\0';
  samples::PutBe32(withPicture, 2);
  withPicture += "PN" + std::string("<b>dog</b>");
  same.Add("dog", withPicture);
  ASSERT_EQ(Read(same, "tm", {}, &source), "");
  EXPECT_EQ(source.entries[0].meaning, "[k\xC3\xA6t]\r\na pet");
  ASSERT_EQ(Read(same, "tPh", {}, &source).find("dog"), std::string::npos);
}

TEST(StarDict, SixtyFourBitOffsetsGzipIndexAndDictzipData) {
  StarDictSample s;
  s.offsets64 = true;
  std::string longText;
  for (int i = 0; i < 300; ++i) {
    const std::string word = "word" + std::to_string(i);
    s.Add(word, "meaning of " + word + std::string(50, '.'));
  }
  Source source;
  std::string error;
  const std::string ifo = s.Ifo("m");
  const std::string idxGz = samples::Gzip(s.idx);
  const std::string dictDz = samples::Dictzip(s.dict, 777);
  ASSERT_TRUE(ReadStarDictBytes({ifo, idxGz, dictDz, std::nullopt}, source, error)) << error;
  ASSERT_EQ(source.entries.size(), 300u);
  EXPECT_EQ(source.entries[299].meaning, "meaning of word299" + std::string(50, '.'));
}

TEST(StarDict, LiesAndDamageAreNamed) {
  StarDictSample s;
  s.Add("cat", "a pet");
  s.Add("dog", "a loyal pet");
  EXPECT_NE(Read(s, "m", "wordcount=3\n").find("wordcount=3"), std::string::npos);
  EXPECT_NE(Read(s, "m", "wordcount=1\n").find("wordcount=1, but the .idx holds 2"), std::string::npos);
  EXPECT_NE(Read(s, "m", "idxfilesize=5\n").find("idxfilesize=5"), std::string::npos);
  EXPECT_NE(Read(s, "m", "idxoffsetbits=48\n").find("idxoffsetbits"), std::string::npos);
  EXPECT_NE(Read(s, "m", "wordcount=many\n").find("not a number"), std::string::npos);

  StarDictSample past = s;
  past.dict.resize(past.dict.size() - 1);  // the last entry now ends past the data
  const std::string error = Read(past, "m");
  EXPECT_NE(error.find("entry 2 (\"dog\")"), std::string::npos) << error;
  EXPECT_NE(error.find("past the end of the .dict"), std::string::npos) << error;

  StarDictSample synonyms = s;
  synonyms.AddSynonym("hound", 2);  // there is no third headword
  EXPECT_NE(Read(synonyms, "m").find("\"hound\") points at headword 3"), std::string::npos);
  StarDictSample counted = s;
  counted.AddSynonym("hound", 1);
  EXPECT_NE(Read(counted, "m", "synwordcount=2\n").find("synwordcount=2"), std::string::npos);

  StarDictSample missingNul;
  missingNul.Add("cat", "ipa");  // with "tm" the first field needs its NUL
  EXPECT_NE(Read(missingNul, "tm").find("no terminating NUL"), std::string::npos);

  StarDictSample badText;
  badText.Add("cat", "\xC3\x28 bad");
  EXPECT_NE(Read(badText, "m").find("not valid UTF-8"), std::string::npos);
  StarDictSample locale;
  locale.Add("cat", "caf\xE9");  // 'l': the locale's encoding, a stray byte is no damage
  EXPECT_EQ(Read(locale, "l"), "");

  Source source;
  std::string why;
  EXPECT_FALSE(ReadStarDictBytes({"not an ifo\n", s.idx, s.dict, std::nullopt}, source, why));
  EXPECT_NE(why.find("not a StarDict .ifo"), std::string::npos);
}

TEST(StarDict, ATruncatedIndexIsRefusedAtEveryLength) {
  StarDictSample s;
  s.Add("cat", "a pet");
  s.Add("dog", "a loyal pet");
  s.Add("emu", "a bird");
  for (std::size_t cut = 0; cut < s.idx.size(); ++cut) {
    StarDictSample cutDown = s;
    cutDown.idx.resize(cut);
    // Declared sizes stay those of the whole file, as in a file cut short in copying.
    std::string ifo = s.Ifo("m");
    Source source;
    std::string error;
    EXPECT_FALSE(ReadStarDictBytes({ifo, cutDown.idx, s.dict, std::nullopt}, source, error)) << cut;
    EXPECT_FALSE(error.empty());
    // With idxfilesize fitted to the cut, the entries themselves must show the damage.
    ifo = "StarDict's dict ifo file\nwordcount=3\nbookname=b\nidxfilesize=" + std::to_string(cut) + "\n";
    EXPECT_FALSE(ReadStarDictBytes({ifo, cutDown.idx, s.dict, std::nullopt}, source, error)) << cut;
  }
}

class StarDictFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kelvara-stardict-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(StarDictFiles, FindsItsFilesBesideTheIfoAndNamesWhatIsMissing) {
  StarDictSample s;
  s.Add("cat", "a pet");
  s.AddSynonym("kitty", 0);
  samples::WriteFile(dir_ / "pets.ifo", s.Ifo("m"));
  Source source;
  std::string error;
  ASSERT_FALSE(ReadStarDict(dir_ / "pets.ifo", source, error));
  EXPECT_NE(error.find("pets.idx (or .idx.gz) is missing"), std::string::npos) << error;
  EXPECT_NE(error.find("pets.ifo"), std::string::npos) << error;

  samples::WriteFile(dir_ / "pets.idx.gz", samples::Gzip(s.idx));
  samples::WriteFile(dir_ / "pets.dict.dz", samples::Dictzip(s.dict, 100));
  ASSERT_FALSE(ReadStarDict(dir_ / "pets.ifo", source, error));
  EXPECT_NE(error.find("pets.syn is missing"), std::string::npos) << error;

  samples::WriteFile(dir_ / "pets.syn", s.syn);
  std::vector<std::uint64_t> progress;
  ASSERT_TRUE(ReadStarDict(dir_ / "pets.ifo", source, error,
                           [&](std::uint64_t done, std::uint64_t total) {
                             progress.push_back(done);
                             EXPECT_EQ(total, 2u);
                           }))
      << error;
  EXPECT_EQ(source.entries.size(), 2u);
  EXPECT_EQ(source.entries[1].headword, "kitty");
  EXPECT_EQ(progress.back(), 2u);

  // An index far larger than the .ifo says is refused before it is read.
  samples::WriteFile(dir_ / "big.ifo", s.Ifo("m"));
  samples::WriteFile(dir_ / "big.idx", std::string(200000, 'x'));
  samples::WriteFile(dir_ / "big.dict", s.dict);
  ASSERT_FALSE(ReadStarDict(dir_ / "big.ifo", source, error));
  EXPECT_NE(error.find("big.idx: it holds 200000 bytes"), std::string::npos) << error;
  EXPECT_NE(error.find("idxfilesize=" + std::to_string(s.idx.size())), std::string::npos) << error;

  std::filesystem::remove(dir_ / "pets.dict.dz");
  ASSERT_FALSE(ReadStarDict(dir_ / "pets.ifo", source, error));
  EXPECT_NE(error.find("pets.dict (or .dict.dz) are missing"), std::string::npos) << error;
}

}  // namespace
}  // namespace kelvara::import
