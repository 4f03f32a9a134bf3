// Any bytes as copied text, against a small fixed dictionary: the resolver never crashes, what it
// does not take stays exactly as copied, what it takes is never longer than the copy's limit, a
// changed word is a headword, and the lookup with suggestions keeps its promises.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "WordListDictionary.h"
#include "lookup/CaseFold.h"
#include "lookup/Resolve.h"
#include "lookup/Suggest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto dict = kelvara::WordListDictionary(
      {"book", "book in", "go", "child", "be", "leaves", "look up", "U.S.A.", "e.g.",
       "rock 'n' roll", "No.", "no", "use", "us", "city", "well-known", "receive",
       "École", "ΣΟΦΙΑ", "کتاب", "c?t", "[x]", "it's", "a", "  ", "\xE2\x84\xAA"});
  const std::string_view copied(reinterpret_cast<const char*>(data), size);
  const kelvara::Resolution r = kelvara::ResolveCopied(*dict, copied);
  if (!r.taken && r.text != copied) __builtin_trap();
  if (r.changed && !kelvara::FindHeadword(*dict, r.text)) __builtin_trap();
  if (r.taken && r.text.size() > 4 * kelvara::kLongestCopy) __builtin_trap();
  (void)kelvara::BalloonTitleFor(r);
  const kelvara::SearchResult found = kelvara::LookUpWord(*dict, r.text);
  if (!found.matches.empty() && !found.suggestions.empty()) __builtin_trap();
  if (found.suggestions.size() > kelvara::kMostSuggestions) __builtin_trap();
  for (const std::string& s : found.suggestions)
    if (!kelvara::FindHeadword(*dict, s)) __builtin_trap();
  return 0;
}
