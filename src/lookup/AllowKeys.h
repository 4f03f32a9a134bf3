// The typed-key filter: which character codes may reach a text box, by one of twelve sets.
// Portable: the caller shows the message box (title kInvalidKeyTitle) when told to.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelvara {

// Values of `KeysToAllow`.
enum KeysToAllowSet : std::int32_t {
  UpperCaseOnly = 0,
  LowerCaseOnly = 1,
  DigitsOnly = 2,
  PunctuationOnly = 3,
  Letters = 4,
  UpperCaseAndDigits = 5,
  UpperCaseAndPunctuation = 6,
  UpperCaseDigitsAndPunctuation = 7,
  LowerCaseAndDigits = 8,
  LowerCaseAndPunctuation = 9,
  LowerCaseDigitsAndPunctuation = 10,
  DigitsAndPunctuation = 11,
};

inline constexpr std::string_view kInvalidKeyTitle = "Invalid key";

// 16-bit Boolean as it crosses the windows' interfaces.
inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

struct AllowKeysResult {
  std::int32_t key = 0;        // the code itself when allowed, 0 when the key is swallowed
  bool showMessage = false;    // show an information box with `message` and kInvalidKeyTitle
  std::string_view message;    // the set's message when the key was refused (may be empty)
};

// `keyAscii` is the typed character code (a UTF-16 unit in this Unicode program; every set lies
// within 33-126, so anything above is refused). A box is asked for only when `showErrMsg` is
// exactly True (-1) and the key was refused.
AllowKeysResult AllowKeys(std::int32_t keyAscii, std::int32_t keysToAllow, std::int16_t showErrMsg);

// The message for a set, empty for a number outside 0-11.
std::string_view AllowKeysMessage(std::int32_t keysToAllow);

}  // namespace kelvara
