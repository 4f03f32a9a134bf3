// kelvara-dict's commands, run in-process: output bytes, exit codes and what a failed build
// leaves behind.
#include <gtest/gtest.h>

#include <fstream>

#include "DictTool.h"
#include "TestDictionary.h"
#include "ToolRun.h"
#include "lookup/Suggest.h"

namespace kelvara {
namespace {

using test::ReadText;
using test::TempDir;
using test::Tool;
using test::ToolRun;
using test::U8;
using test::WriteText;

const std::string kSource =
    "\xEF\xBB\xBF" "cab\tتاکسی\r\nabandon\tرها کردن\r\nAbbey\tصومعه\r\ncat\tگربه\r\ncat food\tغذای گربه\r\n";

TEST(DictTool, BuildThenLookupPrintsTheListAnEmptyLineAndTheMeaning) {
  TempDir dir;
  WriteText(dir / "words.tsv", kSource);
  const std::string db = U8(dir / "Data.db");
  const ToolRun built = Tool({"build", U8(dir / "words.tsv"), db});
  ASSERT_EQ(built.code, kExitOk) << built.err;

  EXPECT_EQ(Tool({"lookup", db, "ab"}).out, "abandon\nAbbey\n\nرها کردن\n");
  EXPECT_EQ(Tool({"lookup", db, "cat "}).out, "cat food\n\nغذای گربه\n");
  const ToolRun none = Tool({"lookup", db, "zebra"});
  EXPECT_EQ(none.code, kExitOk) << "nothing found is no failure";
  EXPECT_EQ(none.out, "\n" + std::string(NotFoundText) + "\n");
}

TEST(DictTool, LookupCopiedRunsTheResolverAndMissesListSuggestions) {
  TempDir dir;
  WriteText(dir / "words.tsv", kSource);
  const std::string db = U8(dir / "Data.db");
  ASSERT_EQ(Tool({"build", U8(dir / "words.tsv"), db}).code, kExitOk);

  // As the watcher takes a copy: blanks and punctuation off, the base form of a plural.
  EXPECT_EQ(Tool({"lookup", "--copied", db, "\xE2\x80\x9C" "cats,\xE2\x80\x9D "}).out, "cat\ncat food\n\nگربه\n");
  EXPECT_EQ(Tool({"lookup", "--copied", db, "cat "}).out, "cat\ncat food\n\nگربه\n")
      << "copied, the trailing blank is the browser's; typed, it stays part of the prefix";
  // Nothing matches: the suggestions, listed and below the not-found message.
  const std::string expected = "cat\ncab\n\n" + std::string(NotFoundText) + "\n\n" +
                               std::string(kSuggestionsLabel) + " cat, cab\n";
  EXPECT_EQ(Tool({"lookup", db, "czt"}).out, expected);
  EXPECT_EQ(Tool({"lookup", "--copied", db, "czt."}).out, expected);
  EXPECT_EQ(Tool({"lookup", "--copied", db}).code, kExitUsage);
}

TEST(DictTool, DumpInfoAndVerify) {
  TempDir dir;
  WriteText(dir / "words.tsv", kSource);
  const std::string db = U8(dir / "Data.db");
  ASSERT_EQ(Tool({"build", U8(dir / "words.tsv"), db}).code, kExitOk);

  const ToolRun dump = Tool({"dump", db});
  EXPECT_EQ(dump.code, kExitOk);
  // In index order, as the file stores its rows.
  EXPECT_EQ(dump.out, "abandon\tرها کردن\nAbbey\tصومعه\ncab\tتاکسی\ncat\tگربه\ncat food\tغذای گربه\n");
  WriteText(dir / "again.tsv", dump.out);
  ASSERT_EQ(Tool({"build", U8(dir / "again.tsv"), U8(dir / "again.db")}).code, kExitOk);
  EXPECT_EQ(Tool({"dump", U8(dir / "again.db")}).out, dump.out);

  const ToolRun info = Tool({"info", db});
  EXPECT_EQ(info.code, kExitOk);
  EXPECT_NE(info.out.find("rows: 5\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("columns: English Meaning\n"), std::string::npos) << info.out;

  const ToolRun verify = Tool({"verify", db});
  EXPECT_EQ(verify.code, kExitOk) << verify.err;
  EXPECT_NE(verify.out.find("OK, 5 rows"), std::string::npos);
}

TEST(DictTool, ABadLineStopsTheBuildAndLeavesTheOutputAsItWas) {
  TempDir dir;
  WriteText(dir / "good.tsv", kSource);
  WriteText(dir / "bad.tsv", "a\tb\r\nc\td\r\nno tab\r\n");
  const auto db = dir / "Data.db";
  ASSERT_EQ(Tool({"build", U8(dir / "good.tsv"), U8(db)}).code, kExitOk);
  const std::string before = ReadText(db);

  const ToolRun bad = Tool({"build", U8(dir / "bad.tsv"), U8(db)});
  EXPECT_EQ(bad.code, kExitSource);
  EXPECT_NE(bad.err.find("bad.tsv:3: "), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("no tab"), std::string::npos) << bad.err;
  EXPECT_EQ(ReadText(db), before);
  EXPECT_EQ(Tool({"build", U8(dir / "bad.tsv"), U8(dir / "new.db")}).code, kExitSource);
  EXPECT_FALSE(std::filesystem::exists(dir / "new.db"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            3)
      << "good.tsv, bad.tsv and Data.db only";
}

TEST(DictTool, FailuresHaveTheirDocumentedExitCodes) {
  TempDir dir;
  EXPECT_EQ(Tool({}).code, kExitUsage);
  EXPECT_EQ(Tool({"frobnicate"}).code, kExitUsage);
  EXPECT_EQ(Tool({"lookup", "x.db"}).code, kExitUsage);
  EXPECT_EQ(Tool({"build", "only-one"}).code, kExitUsage);
  const ToolRun help = Tool({"--help"});
  EXPECT_EQ(help.code, kExitOk);
  EXPECT_NE(help.out.find("Exit codes"), std::string::npos);

  const ToolRun missing = Tool({"lookup", U8(dir / "Data.db"), "a"});
  EXPECT_EQ(missing.code, kExitDictionary);
  EXPECT_NE(missing.err.find("does not exist"), std::string::npos);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(Tool({"build", U8(dir / "none.tsv"), U8(dir / "x.db")}).code, kExitSource);

  WriteText(dir / "words.tsv", kSource);
  EXPECT_EQ(Tool({"build", U8(dir / "words.tsv"), U8(dir / "no-such-folder" / "x.db")}).code, kExitOutput);
  WriteText(dir / "junk.db", "not a dictionary at all");
  const ToolRun junk = Tool({"verify", U8(dir / "junk.db")});
  EXPECT_EQ(junk.code, kExitDictionary);
  EXPECT_NE(junk.err.find("not a dictionary"), std::string::npos);
}

}  // namespace
}  // namespace kelvara
