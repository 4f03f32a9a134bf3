#include "AllowKeys.h"

#include <array>

namespace kelvara {
namespace {

enum Class : unsigned { kUpper = 1, kLower = 2, kDigit = 4, kPunct = 8 };

struct KeySet {
  unsigned classes;
  std::string_view message;
};

// The spelling "punctuatuon" is the message users have always seen; it stays.
constexpr std::array<KeySet, 12> kSets{{
    {kUpper, "Only upper case letters are allowed. (E.g. 'A' but not 'a')"},
    {kLower, "Only lower case letters are allowed. (E.g. 'a' but not 'A')"},
    {kDigit, "Only digits are allowed. (E.g. '0','3' or '9')"},
    {kPunct, "Only punctuatuon characters are allowed. (E.g. '?', ';' or ',')"},
    {kUpper | kLower,
     "Only lower case and upper case letters are allowed. (E.g. 'a','b','A' or 'B')"},
    {kUpper | kDigit, "Only upper case letters and digits are allowed. (E.g. '0','5','A' or 'B')"},
    {kUpper | kPunct,
     "Only upper case letters and punctuation characters are allowed. (E.g. '?',';','A' or 'B')"},
    {kUpper | kDigit | kPunct,
     "Only upper case letters, digits and punctuation characters are allowed. (E.g. '?','A' or "
     "'9')"},
    {kLower | kDigit, "Only lower case letters and digits are allowed. (E.g. '0','5','a' or 'b')"},
    {kLower | kPunct,
     "Only lower case letters and punctuation characters are allowed. (E.g. '?',';','a' or 'b')"},
    {kLower | kDigit | kPunct,
     "Only lower case letters, digits and punctuation characters are allowed. (E.g. '?','a' or "
     "'9')"},
    {kDigit | kPunct,
     "Only digits and punctuation characters are allowed. (E.g. '?',';','6' or '2')"},
}};

unsigned ClassOf(std::int32_t code) {
  if (code >= 'A' && code <= 'Z') return kUpper;
  if (code >= 'a' && code <= 'z') return kLower;
  if (code >= '0' && code <= '9') return kDigit;
  if ((code >= 33 && code <= 47) || (code >= 58 && code <= 64) || (code >= 91 && code <= 96) ||
      (code >= 123 && code <= 126)) {
    return kPunct;
  }
  return 0;
}

}  // namespace

std::string_view AllowKeysMessage(std::int32_t keysToAllow) {
  if (keysToAllow < 0 || keysToAllow >= static_cast<std::int32_t>(kSets.size())) return {};
  return kSets[static_cast<std::size_t>(keysToAllow)].message;
}

AllowKeysResult AllowKeys(std::int32_t keyAscii, std::int32_t keysToAllow, std::int16_t showErrMsg) {
  AllowKeysResult result;
  if (keysToAllow >= 0 && keysToAllow < static_cast<std::int32_t>(kSets.size())) {
    const KeySet& set = kSets[static_cast<std::size_t>(keysToAllow)];
    const bool always = keyAscii == 8 || keyAscii == 32 || (keysToAllow == DigitsOnly && keyAscii == '.');
    if (always || (ClassOf(keyAscii) & set.classes) != 0) {
      result.key = keyAscii;
      return result;
    }
    result.message = set.message;
  }
  // Refused, or no such set (then the box has no text).
  result.showMessage = showErrMsg == kTrue;
  return result;
}

}  // namespace kelvara
