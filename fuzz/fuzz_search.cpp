// Any bytes as the word box's text, against a small fixed dictionary: matches or the not-found
// text, never a crash; and every listed headword really is in the dictionary's index order.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "WordListDictionary.h"
#include "lookup/SearchWords.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto dict = kelvara::WordListDictionary(
      {"a", "ab", "abandon", "Abbey", "cat", "cat food", "c?t", "[x]", "it's",
       "École", "ΣΟΦΙΑ", "کتاب", "0123456789abcdef", "0123456789abcdefg", "#1",
       "a*b", "a-b", "!", "  ", "\xE2\x84\xAA"});
  const kelvara::SearchResult r =
      kelvara::SearchWords(*dict, std::string_view(reinterpret_cast<const char*>(data), size));
  if (r.matches.empty() != (r.meaningText == kelvara::NotFoundText)) __builtin_trap();
  std::uint32_t previousPosition = 0;
  for (std::size_t i = 0; i < r.matches.size(); ++i) {
    std::uint32_t position = 0;
    while (dict->SortedRow(position) != r.matches.Row(i)) ++position;
    if (i > 0 && position <= previousPosition) __builtin_trap();
    previousPosition = position;
  }
  return 0;
}
