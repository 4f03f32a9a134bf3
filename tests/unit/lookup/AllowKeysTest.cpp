// The typed-key filter: each set's members, the keys every set admits, and when a box is asked
// for.
#include <gtest/gtest.h>

#include <set>

#include "lookup/AllowKeys.h"

namespace kelvara {
namespace {

// Every code 0..300 the set lets through.
std::set<int> Admitted(std::int32_t set) {
  std::set<int> out;
  for (int k = 0; k <= 300; ++k) {
    if (AllowKeys(k, set, kFalse).key == k && k != 0) out.insert(k);
  }
  return out;
}

std::set<int> Codes(std::initializer_list<std::pair<int, int>> ranges) {
  std::set<int> out{8, 32};
  for (auto [lo, hi] : ranges) {
    for (int k = lo; k <= hi; ++k) out.insert(k);
  }
  return out;
}

const auto kUpper = std::pair{65, 90};
const auto kLower = std::pair{97, 122};
const auto kDigits = std::pair{48, 57};
const std::initializer_list<std::pair<int, int>> kPunct = {{33, 47}, {58, 64}, {91, 96}, {123, 126}};

TEST(AllowKeys, EachSetAdmitsExactlyItsClassesPlusBackspaceAndSpace) {
  auto with = [](std::initializer_list<std::pair<int, int>> a,
                 std::initializer_list<std::pair<int, int>> b = {}) {
    std::set<int> s = Codes(a), t = Codes(b);
    s.insert(t.begin(), t.end());
    return s;
  };
  std::set<int> digits = Codes({kDigits});
  digits.insert('.');
  EXPECT_EQ(Admitted(UpperCaseOnly), Codes({kUpper}));
  EXPECT_EQ(Admitted(LowerCaseOnly), Codes({kLower}));
  EXPECT_EQ(Admitted(DigitsOnly), digits) << "the full stop passes too";
  EXPECT_EQ(Admitted(PunctuationOnly), Codes(kPunct));
  EXPECT_EQ(Admitted(Letters), Codes({kUpper, kLower}));
  EXPECT_EQ(Admitted(UpperCaseAndDigits), Codes({kUpper, kDigits}));
  EXPECT_EQ(Admitted(UpperCaseAndPunctuation), with({kUpper}, kPunct));
  EXPECT_EQ(Admitted(UpperCaseDigitsAndPunctuation), with({kUpper, kDigits}, kPunct));
  EXPECT_EQ(Admitted(LowerCaseAndDigits), Codes({kLower, kDigits}));
  EXPECT_EQ(Admitted(LowerCaseAndPunctuation), with({kLower}, kPunct));
  EXPECT_EQ(Admitted(LowerCaseDigitsAndPunctuation), with({kLower, kDigits}, kPunct));
  EXPECT_EQ(Admitted(DigitsAndPunctuation), with({kDigits}, kPunct));
}

TEST(AllowKeys, WordBoxSwallowsEverythingButLettersBlankAndBackspaceSilently) {
  for (int k : std::initializer_list<int>{'a', 'Z', ' ', 8}) EXPECT_EQ(AllowKeys(k, Letters, kFalse).key, k);
  for (int k : std::initializer_list<int>{'5', '-', '\'', 13, 9, 1, 27, 127, 128, 0xE9, 0x6A9, 0xFFFF, -1, 0}) {
    const AllowKeysResult r = AllowKeys(k, Letters, kFalse);
    EXPECT_EQ(r.key, 0) << k;
    EXPECT_FALSE(r.showMessage) << k;
  }
}

TEST(AllowKeys, RefusedKeyAsksForTheSetsMessageOnlyWhenShowIsExactlyTrue) {
  AllowKeysResult r = AllowKeys('a', DigitsOnly, kTrue);
  EXPECT_EQ(r.key, 0);
  EXPECT_TRUE(r.showMessage);
  EXPECT_EQ(r.message, "Only digits are allowed. (E.g. '0','3' or '9')");
  EXPECT_FALSE(AllowKeys('a', DigitsOnly, 1).showMessage) << "True is -1, nothing else";
  EXPECT_FALSE(AllowKeys('a', DigitsOnly, kFalse).showMessage);
  EXPECT_FALSE(AllowKeys('5', DigitsOnly, kTrue).showMessage) << "allowed keys show nothing";

  r = AllowKeys(0, Letters, kTrue);
  EXPECT_EQ(r.key, 0) << "code 0 is never allowed";
  EXPECT_TRUE(r.showMessage);
  EXPECT_EQ(r.message,
            "Only lower case and upper case letters are allowed. (E.g. 'a','b','A' or 'B')");
  EXPECT_EQ(kInvalidKeyTitle, "Invalid key");
}

TEST(AllowKeys, PunctuationSetTakesTildeAndBangButNoLettersDigitsOrHighCodes) {
  for (int k : std::initializer_list<int>{'~', '!', '.', '@', '`', '{'}) EXPECT_EQ(AllowKeys(k, PunctuationOnly, kFalse).key, k);
  for (int k : std::initializer_list<int>{'a', 'Z', '0', 127, 160, 0x61F}) EXPECT_EQ(AllowKeys(k, PunctuationOnly, kFalse).key, 0);
  EXPECT_EQ(AllowKeys('x', PunctuationOnly, kTrue).message,
            "Only punctuatuon characters are allowed. (E.g. '?', ';' or ',')");
}

TEST(AllowKeys, SetNumbersOutsideTheTableRejectEveryKeyWithAnEmptyBox) {
  for (std::int32_t set : std::initializer_list<std::int32_t>{12, -1, 1000, INT32_MIN}) {
    for (int k : std::initializer_list<int>{'a', ' ', 8, '.'}) {
      const AllowKeysResult r = AllowKeys(k, set, kTrue);
      EXPECT_EQ(r.key, 0);
      EXPECT_TRUE(r.showMessage);
      EXPECT_EQ(r.message, "");
    }
    EXPECT_FALSE(AllowKeys('a', set, kFalse).showMessage);
  }
}

TEST(AllowKeys, EveryMessageIsTheOneUsersKnow) {
  const std::vector<std::string_view> expected = {
      "Only upper case letters are allowed. (E.g. 'A' but not 'a')",
      "Only lower case letters are allowed. (E.g. 'a' but not 'A')",
      "Only digits are allowed. (E.g. '0','3' or '9')",
      "Only punctuatuon characters are allowed. (E.g. '?', ';' or ',')",
      "Only lower case and upper case letters are allowed. (E.g. 'a','b','A' or 'B')",
      "Only upper case letters and digits are allowed. (E.g. '0','5','A' or 'B')",
      "Only upper case letters and punctuation characters are allowed. (E.g. '?',';','A' or 'B')",
      "Only upper case letters, digits and punctuation characters are allowed. (E.g. '?','A' or '9')",
      "Only lower case letters and digits are allowed. (E.g. '0','5','a' or 'b')",
      "Only lower case letters and punctuation characters are allowed. (E.g. '?',';','a' or 'b')",
      "Only lower case letters, digits and punctuation characters are allowed. (E.g. '?','a' or '9')",
      "Only digits and punctuation characters are allowed. (E.g. '?',';','6' or '2')",
  };
  for (std::int32_t set = 0; set < 12; ++set) {
    EXPECT_EQ(AllowKeysMessage(set), expected[static_cast<std::size_t>(set)]);
    // A key outside every set (a control character) brings up that set's own message.
    EXPECT_EQ(AllowKeys(1, set, kTrue).message, expected[static_cast<std::size_t>(set)]);
  }
}

}  // namespace
}  // namespace kelvara
