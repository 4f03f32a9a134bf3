#include <gtest/gtest.h>

#include <random>

#include "import/ImportSource.h"
#include "import/PlainText.h"

namespace kelvara::import {
namespace {

TEST(PlainText, HtmlBecomesLinesWithoutMarkup) {
  EXPECT_EQ(MarkupToPlainText("<p>first   <b>bold</b>\n word</p><p>second<br>third</p>", Markup::kHtml),
            "first bold word\r\nsecond\r\nthird");
  EXPECT_EQ(MarkupToPlainText("<ul><li>one</li><li>two</li></ul>", Markup::kHtml), "one\r\ntwo");
  EXPECT_EQ(MarkupToPlainText("a<script>x=1<2</script><style>p{}</style>b<!-- note -->c",
                              Markup::kHtml), "abc");
  EXPECT_EQ(MarkupToPlainText("<pre>  keep\n  this</pre>", Markup::kHtml), "  keep\r\n  this");
  EXPECT_EQ(MarkupToPlainText("<a href=\"x>y\" title='q'>link</a> <img src=a.png alt=pic>",
                              Markup::kHtml), "link");
  EXPECT_EQ(MarkupToPlainText("<table><tr><td>a</td><td>b</td></tr></table>", Markup::kHtml), "a b");
}

TEST(PlainText, EntitiesAreDecodedNamedAndNumeric) {
  EXPECT_EQ(DecodeEntities("&lt;&gt;&amp;&quot;&apos;&nbsp;&eacute;&mdash;&hellip;&euro;"),
            "<>&\"'\xC2\xA0\xC3\xA9\xE2\x80\x94\xE2\x80\xA6\xE2\x82\xAC");
  EXPECT_EQ(DecodeEntities("&#233;&#xE9;&#X1F600;"), "\xC3\xA9\xC3\xA9\xF0\x9F\x98\x80");
  // No character behind the number: U+FFFD, never a NUL or a surrogate in the text.
  EXPECT_EQ(DecodeEntities("&#0;&#xD800;&#x110000;"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(DecodeEntities("AT&T &nosuch; &amp &#xZZ; &#99999999999;"),
            "AT&T &nosuch; &amp &#xZZ; &#99999999999;");
  // An entity that spells markup stays text.
  EXPECT_EQ(MarkupToPlainText("&lt;b&gt; is bold", Markup::kHtml), "<b> is bold");
}

TEST(PlainText, PangoAndXdxfKeepTheirLineBreaks) {
  EXPECT_EQ(MarkupToPlainText("\n<i><small>(cha)</small></i>\n\n<b>1°</b>  Animal &amp; co\n",
                              Markup::kPango), "(cha)\r\n\r\n1°  Animal & co");
  EXPECT_EQ(MarkupToPlainText("<k>cat</k>\n<tr>kæt</tr> <abr>n.</abr> a pet<rref>cat.wav</rref><br/>"
                              "<ex>the cat</ex>", Markup::kXdxf),
            "cat\r\n[kæt] n. a pet\r\nthe cat");
}

TEST(PlainText, RightToLeftTextAndStrayBracketsStayAsTheyAre) {
  const std::string persian = "\xDA\xAF\xD8\xB1\xD8\xA8\xD9\x87 \xE2\x80\x8F(cat)";
  EXPECT_EQ(MarkupToPlainText("<div dir=\"rtl\">" + persian + "</div>", Markup::kHtml), persian);
  EXPECT_EQ(MarkupToPlainText("a < b and c<d> e", Markup::kHtml), "a < b and c e");
  EXPECT_EQ(MarkupToPlainText("x <unclosed", Markup::kPango), "x <unclosed");
  EXPECT_EQ(MarkupToPlainText("1 <2 & 3", Markup::kHtml), "1 <2 & 3");
}

TEST(PlainText, HostileRunsStayLinear) {
  // Each '&' and each unclosed "<a \"" once looked to the end of the text for its ';' or '>',
  // which made a long run of them quadratic.
  const std::string ampersands(1 << 20, '&');
  EXPECT_EQ(DecodeEntities(ampersands), ampersands);
  std::string tags;
  while (tags.size() < (1 << 20)) tags += "<a \"";
  EXPECT_EQ(MarkupToPlainText(tags, Markup::kHtml).size(), tags.size());
}

TEST(PlainText, TheNextLineBreakIsFoundAtAnyPlaceAndAlignment) {
  // Bytes next to CR and LF in value, and the same with the high bit set, around the breaks.
  const char alphabet[] = {'a', ' ', '\t', '\x0B', '\x0C', '\x0E', '\x09', '\x8A', '\x8D', '\xFF', '\x00', '\n', '\r'};
  std::mt19937 rng(9);
  for (int round = 0; round < 3000; ++round) {
    std::string text(rng() % 40, 'x');
    for (char& c : text) c = alphabet[rng() % (rng() % 4 == 0 ? std::size(alphabet) : std::size(alphabet) - 2)];
    for (std::size_t from = 0; from <= text.size() + 1; ++from) {
      std::size_t expected = std::min(from, text.size());
      while (expected < text.size() && text[expected] != '\n' && text[expected] != '\r') ++expected;
      ASSERT_EQ(FindLineBreak(text, from), expected) << "from " << from << " in " << ::testing::PrintToString(text);
    }
  }
}

TEST(PlainText, TidyDropsBlankEdgesAndUsesCrLf) {
  EXPECT_EQ(TidyPlainText("\n\n   indented  \r\nnext\rlast \n\n"), "   indented\r\nnext\r\nlast");
  EXPECT_EQ(TidyPlainText(" \n \t\n"), "");
}

}  // namespace
}  // namespace kelvara::import
