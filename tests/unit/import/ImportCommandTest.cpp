// kelvara-dict import, import --add and a drop, run in-process: what lands in the dictionary,
// and that a failure leaves the old file as it was.
#include <gtest/gtest.h>

#include <fstream>

#include "DictTool.h"
#include "TestDictionary.h"
#include "ToolRun.h"
#include "lookup/Dictionary.h"
#include "lookup/FileAccess.h"
#include "lookup/Suggest.h"

namespace kelvara {
namespace {

using test::ReadText;
using test::TempDir;
using test::Tool;
using test::ToolRun;
using test::U8;
using test::WriteText;

// The meaning the program would show for `word`, line breaks as the meaning box gets them.
std::string Meaning(const std::string& db, const std::string& word) {
  const OpenResult opened = Dictionary::Open(std::filesystem::path(std::u8string(db.begin(), db.end())));
  if (!opened.dict) return "cannot open: " + opened.message;
  return LookUpWord(*opened.dict, word).meaningText;
}

class Import : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteText(dir / "words.tsv", "cat\tگربه\nsky\tآسمان\n");
    WriteText(dir / "Animals.dsl", "#NAME \"Animals\"\nCat\n\t[m1][trn]a small animal[/trn][/m]\ncow\n\tmoo\n");
    WriteText(dir / "more.csv", "word,meaning\n\"ox, pl. oxen\",\"two\nlines\"\n");
    ASSERT_EQ(Tool({"build", U8(dir / "words.tsv"), db}).code, kExitOk);
  }
  TempDir dir;
  std::string db = U8(dir / "Data.db");
};

TEST_F(Import, NewDictionaryFromSeveralFormats) {
  const std::string out = U8(dir / "New.db");
  const ToolRun r = Tool({"import", out, U8(dir / "Animals.dsl"), U8(dir / "more.csv"), U8(dir / "words.tsv")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("Imported into " + out + ": 5 headwords from 3 sources; 4 rows in all."),
            std::string::npos) << r.out;
  EXPECT_EQ(Meaning(out, "cat"), "\xE2\x80\x94 Animals \xE2\x80\x94\r\n  a small animal\r\n\r\n"
                                 "\xE2\x80\x94 words \xE2\x80\x94\r\nگربه");
  EXPECT_EQ(Meaning(out, "ox"), "two\r\nlines");
  EXPECT_EQ(Tool({"verify", out}).code, kExitOk) << "multi-line meanings are valid rows";
}

TEST_F(Import, AddKeepsTheDictionarysOwnRowsFirst) {
  const ToolRun r = Tool({"import", "--add", db, U8(dir / "Animals.dsl")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("(2 kept)"), std::string::npos) << r.out;
  EXPECT_EQ(Meaning(db, "cat"), "\xE2\x80\x94 Data.db \xE2\x80\x94\r\nگربه\r\n\r\n"
                                "\xE2\x80\x94 Animals \xE2\x80\x94\r\n  a small animal");
  EXPECT_EQ(Meaning(db, "sky"), "آسمان");
  EXPECT_EQ(Meaning(db, "cow"), "moo");
}

TEST_F(Import, AnyErrorWritesNothing) {
  const std::string before = ReadText(dir / "Data.db");
  WriteText(dir / "broken.csv", "a,\"never closed\n");
  WriteText(dir / "notes.doc", "\x01\x02 binary");
  WriteText(dir / "empty.tsv", "");

  struct Case {
    std::vector<std::string> sources;
    int code;
    std::string message;
  };
  const std::vector<Case> cases{
      {{U8(dir / "Animals.dsl"), U8(dir / "broken.csv")}, kExitSource, "a quoted field is never closed"},
      {{U8(dir / "notes.doc")}, kExitSource, "is in no format kelvara-dict can import"},
      {{U8(dir / "missing.dsl")}, kExitSource, "does not exist"},
      {{U8(dir / "empty.tsv")}, kExitSource, "no headwords in it"},
      {{U8(dir.path())}, kExitSource, "is a folder"},
      {{U8(dir / "x.idx")}, kExitSource, "does not exist"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> add{"import", "--add", db}, fresh{"import", U8(dir / "Fresh.db")};
    add.insert(add.end(), c.sources.begin(), c.sources.end());
    fresh.insert(fresh.end(), c.sources.begin(), c.sources.end());
    const ToolRun r = Tool(add);
    EXPECT_EQ(r.code, c.code) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(ReadText(dir / "Data.db"), before) << c.message;

    EXPECT_EQ(Tool(fresh).code, c.code);
    EXPECT_FALSE(std::filesystem::exists(dir / "Fresh.db")) << c.message;
  }
  std::size_t left = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) left += e.path().filename().string().starts_with("Data.db.");
  EXPECT_EQ(left, 0u) << "no temporary file left beside the dictionary";
}

TEST_F(Import, RefusedWhileTheProgramHoldsTheDictionary) {
  const std::string before = ReadText(dir / "Data.db");
  MapFileResult held = MapAndHoldFile(dir / "Data.db");  // as the program opens it
  ASSERT_TRUE(held.file);
  const ToolRun r = Tool({"import", "--add", db, U8(dir / "Animals.dsl")});
  EXPECT_EQ(r.code, kExitOutput);
  EXPECT_NE(r.err.find("is open in Kelvara Dictionary"), std::string::npos) << r.err;
  EXPECT_EQ(ReadText(dir / "Data.db"), before);
  held.file.reset();
  EXPECT_EQ(Tool({"import", "--add", db, U8(dir / "Animals.dsl")}).code, kExitOk);
}

TEST_F(Import, UsageAndMissingDictionary) {
  EXPECT_EQ(Tool({"import", db}).code, kExitUsage);
  EXPECT_EQ(Tool({"import", "--add", db}).code, kExitUsage);
  const ToolRun missing = Tool({"import", "--add", U8(dir / "none.db"), U8(dir / "Animals.dsl")});
  EXPECT_EQ(missing.code, kExitDictionary);
  EXPECT_NE(missing.err.find("does not exist"), std::string::npos);
  EXPECT_NE(Tool({"--help"}).out.find("import --add DB SOURCE..."), std::string::npos);

  std::string damaged = ReadText(dir / "Data.db");
  damaged[damaged.size() / 2] ^= 0x40;
  WriteText(dir / "Data.db", damaged);
  const ToolRun r = Tool({"import", "--add", db, U8(dir / "Animals.dsl")});
  EXPECT_EQ(r.code, kExitDictionary) << r.err;
  EXPECT_NE(r.err.find("Nothing was written"), std::string::npos) << r.err;
  EXPECT_EQ(ReadText(dir / "Data.db"), damaged);
}

TEST_F(Import, DroppedFilesGoIntoTheDictionaryBesideTheTool) {
  ToolHooks hooks;
  hooks.dropDictionary = dir / "Data.db";
  WriteText(dir / "Animals_abrv.dsl", "#NAME \"abbr\"\nn.\n\tnoun\n");
  const ToolRun r = Tool({U8(dir / "Animals.dsl"), U8(dir / "Animals_abrv.dsl")}, hooks);
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("Skipped " + U8(dir / "Animals_abrv.dsl")), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Added to " + db), std::string::npos) << r.out;
  EXPECT_EQ(Meaning(db, "cow"), "moo");
  EXPECT_FALSE(Tool({"lookup", db, "n."}).out.starts_with("n.\n")) << "nothing from the abbreviations";

  hooks.dropDictionary = dir / "New" / "Data.db";
  std::filesystem::create_directories(dir / "New");
  ASSERT_EQ(Tool({U8(dir / "more.csv")}, hooks).code, kExitOk) << "a missing Data.db is made";
  EXPECT_EQ(Meaning(U8(hooks.dropDictionary), "ox"), "two\r\nlines");

  EXPECT_EQ(Tool({U8(dir / "more.csv")}).code, kExitUsage) << "without a drop target, no drop";
  EXPECT_EQ(Tool({"nonexistent-file"}, hooks).code, kExitUsage);
}

TEST_F(Import, ProgressGoesToTheHookOnlyAfterASecond) {
  ToolHooks hooks;
  std::string shown;
  hooks.progress = [&](const std::string& text) { shown += text; };
  ASSERT_EQ(Tool({"import", U8(dir / "Quick.db"), U8(dir / "words.tsv")}, hooks).code, kExitOk);
  EXPECT_EQ(shown, "") << "a quick import shows only its summary";
}

}  // namespace
}  // namespace kelvara
