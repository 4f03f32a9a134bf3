// Any bytes as the word box's text, against a small fixed dictionary: matches or the not-found
// text, never a crash; and every listed headword really is in the dictionary's index order.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "lookup/DictionaryWriter.h"
#include "lookup/Format.h"
#include "lookup/SearchWords.h"

namespace {

std::unique_ptr<kelvara::Dictionary> MakeDictionary() {
  std::vector<kelvara::WordRow> rows;
  const char* words[] = {"a", "ab", "abandon", "Abbey", "cat", "cat food", "c?t", "[x]", "it's",
                         "École", "ΣΟΦΙΑ", "کتاب", "0123456789abcdef", "0123456789abcdefg", "#1",
                         "a*b", "a-b", "!", "  ", "\xE2\x84\xAA"};
  for (const char* w : words) rows.push_back({w, std::string("m:") + w});
  kelvara::WriteOptions options;
  options.kdfIterations = kelvara::format::kMinIterations;
  return std::move(kelvara::Dictionary::FromBytes(kelvara::EncodeDictionary(rows, options).bytes).dict);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto dict = MakeDictionary();
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
