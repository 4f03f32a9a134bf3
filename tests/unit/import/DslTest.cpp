// The DSL reader on hand-made cards: encodings, headers, headword lines, markup to plain text,
// and damaged files refused with the line and the reason.
#include <gtest/gtest.h>

#include <zlib.h>

#include <fstream>

#include "TestDictionary.h"
#include "import/Dsl.h"
#include "import/TextLines.h"
#include "lookup/Utf8.h"

namespace kelvara::import {
namespace {

const std::string kCards =
    "#NAME \"Little Test\"\n"
    "#INDEX_LANGUAGE \"English\"\n"
    "#CONTENTS_LANGUAGE \"Persian\"\n"
    "\n"
    "colour\n"
    "color\n"
    "\t[m1][p]noun[/p][/m]\n"
    "\t[m2][trn]رنگ[/trn] {{a comment}}[/m]\n"
    "\t[m3][*][ex][lang id=1033]the ~ of the sky[/lang][/ex][/*][/m]\n"
    "\t[s]colour.wav[/s]\n"
    "\n"
    "{to }go\n"
    "  [m1][b]verb[/b]: see <<went>>, [ref]gone[/ref] \\[sic\\] 50\\% \\~ [i]x[/i][c red]y[/c][/m]\n"
    "  [m2][url]http://example.org/[/url] [sup]2[/sup][sub]i[/sub] [!trs]trs[/!trs] [t]tə[/t] ['][u]a[/u][/'][com]c[/com][/m]\n"
    "empty card\n";

std::string Utf16Le(const std::string& utf8, bool bom) {
  std::string out = bom ? "\xFF\xFE" : "";
  const std::u16string wide = [&] {
    std::u16string w;
    const char* p = utf8.data();
    const char* end = p + utf8.size();
    while (p < end) {
      char32_t cp;
      p += kelvara::utf8::DecodeLenient(p, end, &cp);
      if (cp >= 0x10000) {
        w += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        w += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        w += static_cast<char16_t>(cp);
      }
    }
    return w;
  }();
  for (char16_t c : wide) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

Source Parse(std::string_view bytes) {
  Source source;
  std::string error;
  EXPECT_TRUE(ParseDsl(bytes, "test.dsl", source, error)) << error;
  return source;
}

std::string Refused(std::string_view bytes) {
  Source source;
  std::string error;
  EXPECT_FALSE(ParseDsl(bytes, "bad.dsl", source, error));
  EXPECT_TRUE(source.entries.empty());
  return error;
}

TEST(Dsl, CardsBecomePlainTextWithEveryHeadwordLineAHeadword) {
  const Source s = Parse(kCards);
  EXPECT_EQ(s.name, "Little Test");
  ASSERT_EQ(s.entries.size(), 4u);
  EXPECT_EQ(s.entries[0].headword, "colour");
  EXPECT_EQ(s.entries[1].headword, "color");
  const std::string colour =
      "  noun\r\n"
      "    رنگ\r\n"
      "      the colour of the sky";
  EXPECT_EQ(s.entries[0].meaning, colour) << "the sound file is dropped, the comment too";
  EXPECT_EQ(s.entries[1].meaning, colour) << "~ is the card's first headword";
  EXPECT_EQ(s.entries[2].headword, "go") << "the unsorted part in braces is not looked up";
  EXPECT_EQ(s.entries[2].meaning,
            "  verb: see went, gone [sic] 50% ~ xy\r\n"
            "    http://example.org/ 2i trs tə ac");
  EXPECT_EQ(s.entries[3].headword, "empty card");
  EXPECT_EQ(s.entries[3].meaning, "");
}

TEST(Dsl, Utf16AndUtf8WithOrWithoutAMarkReadAlike) {
  const Source plain = Parse(kCards);
  for (const std::string& bytes : {Utf16Le(kCards, true), Utf16Le(kCards, false),
                                   "\xEF\xBB\xBF" + kCards}) {
    const Source other = Parse(bytes);
    ASSERT_EQ(other.entries.size(), plain.entries.size());
    EXPECT_EQ(other.name, plain.name);
    for (std::size_t i = 0; i < plain.entries.size(); ++i) {
      EXPECT_EQ(other.entries[i].headword, plain.entries[i].headword);
      EXPECT_EQ(other.entries[i].meaning, plain.entries[i].meaning);
    }
  }
  // CR LF and lone CR line ends too.
  std::string crlf;
  for (char c : kCards) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(Parse(crlf).entries[2].meaning, plain.entries[2].meaning);
}

TEST(Dsl, MarkupEdgeCases) {
  int indent = -1;
  EXPECT_EQ(DslBodyToText("[m4]deep[/m]", "w", &indent), "deep");
  EXPECT_EQ(indent, 4);
  EXPECT_EQ(DslBodyToText("[m]plain", "w", &indent), "plain");
  EXPECT_EQ(indent, 1);
  EXPECT_EQ(DslBodyToText("a [m2]late indent", "w", &indent), "a late indent");
  EXPECT_EQ(indent, 0) << "an [mN] after text is no indentation";
  EXPECT_EQ(DslBodyToText("list [1, 2] and [a b", "w"), "list [1, 2] and [a b")
      << "brackets that hold no tag name are text";
  EXPECT_EQ(DslBodyToText("[video]clip.avi[/video]seen [s]pic.jpg", "w"), "seen")
      << "a resource to the end of the line when its closing tag is missing";
  EXPECT_EQ(DslBodyToText("trailing backslash \\", "w"), "trailing backslash");
  EXPECT_EQ(DslBodyToText("a << b", "w"), "a << b");
  EXPECT_EQ(DslBodyToText("x >> 2 and <<y>>", "w"), "x >> 2 and y") << "only a reference's marks go";
  EXPECT_EQ(DslHeadword("back\\{slash\\} {opt}word  two"), "back{slash} word two");
  EXPECT_EQ(DslHeadword("{all optional}"), "");
}

TEST(Dsl, CommentsMayRunOverLines) {
  const Source s = Parse("word\n\tbefore {{a comment\n\tthat runs}} after\n\tnext\n");
  ASSERT_EQ(s.entries.size(), 1u);
  EXPECT_EQ(s.entries[0].meaning, "before\r\nafter\r\nnext");
}

TEST(Dsl, DamagedFilesAreRefusedWithTheReason) {
  std::string odd = Utf16Le(kCards, true);
  odd.pop_back();
  EXPECT_NE(Refused(odd).find("odd number of bytes"), std::string::npos);

  EXPECT_NE(Refused("word\n\tok\nbad \xC3\x28 byte\n\tx\n").find("line 3 is not valid UTF-8"),
            std::string::npos);
  EXPECT_NE(Refused("#NAME \"x\"\n\n").find("no cards"), std::string::npos);
  EXPECT_NE(Refused("").find("no cards"), std::string::npos);

  const std::string longLine = "word\n\t" + std::string(kMaxLineBytes + 10, 'a') + "\n";
  const std::string error = Refused(longLine);
  EXPECT_NE(error.find("bad.dsl: line 2 is longer than 1 MiB"), std::string::npos) << error;
}

TEST(Dsl, AHugeLineIsRefusedBeforeItIsReadWhole) {
  // A reader that would give a gigabyte without a line break: the line limit must stop it
  // after little more than the limit.
  std::uint64_t given = 0;
  TextLines lines(
      [&](std::string& chunk, std::size_t want, std::string&) {
        if (given >= (std::uint64_t{1} << 30)) return false;
        chunk.append(want, 'a');
        given += want;
        return true;
      },
      std::uint64_t{1} << 30, "huge.dsl");
  std::string line;
  EXPECT_FALSE(lines.Next(line));
  EXPECT_NE(lines.error().find("longer than"), std::string::npos);
  EXPECT_LT(given, 2 * kMaxLineBytes);
}

TEST(Dsl, ReadsFilesAndGzippedFilesNamedAfterTheirStem) {
  test::TempDir dir;
  const std::string body = "one\n\tfirst\ntwo\n\tsecond\n";
  std::ofstream(dir / "Mine.dsl", std::ios::binary) << body;
  const std::string packed = (dir / "Packed.dsl.dz").string();
  gzFile gz = gzopen(packed.c_str(), "wb");
  ASSERT_NE(gz, nullptr);
  gzwrite(gz, kCards.data(), static_cast<unsigned>(kCards.size()));
  gzclose(gz);

  Source s;
  std::string error;
  ASSERT_TRUE(ReadDsl(dir / "Mine.dsl", s, error)) << error;
  EXPECT_EQ(s.name, "Mine") << "no #NAME: the file's name";
  ASSERT_EQ(s.entries.size(), 2u);
  EXPECT_EQ(s.entries[1].meaning, "second");

  ASSERT_TRUE(ReadDsl(dir / "Packed.dsl.dz", s, error)) << error;
  EXPECT_EQ(s.name, "Little Test");
  EXPECT_EQ(s.entries.size(), 4u);

  std::ofstream(dir / "Broken.dsl.dz", std::ios::binary) << "\x1F\x8B\x08\x00garbage";
  EXPECT_FALSE(ReadDsl(dir / "Broken.dsl.dz", s, error));
  EXPECT_NE(error.find("Broken.dsl.dz"), std::string::npos) << error;
  EXPECT_FALSE(ReadDsl(dir / "Missing.dsl", s, error));
  EXPECT_NE(error.find("Missing.dsl"), std::string::npos) << error;
}

}  // namespace
}  // namespace kelvara::import
