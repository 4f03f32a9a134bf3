// What the user may have meant when nothing matches: the base form when that is a headword, then
// headwords within two edits (Damerau-Levenshtein, letter case ignored), nearest first and, among
// equally near ones, the commoner first.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Dictionary.h"
#include "SearchWords.h"

namespace kelvara {

inline constexpr std::size_t kMostSuggestions = 5;
// Longer words get no spelling suggestions: nobody mistypes a headword that long, and the walk
// costs grow with the length.
inline constexpr std::size_t kLongestSuggestedWord = 48;
inline constexpr int kMostEdits = 2;

struct SpellingMatch {
  std::size_t position;  // index position of the headword (Dictionary::HeadwordAt)
  int distance;
};

// Every headword within kMostEdits edits of `word` (folded code points; adjacent transpositions
// count as one edit), one per folded text, in index order; but once `enough` lie within one
// edit, those farther are only the ones met so far. Walks the sorted index as a trie: rows of the
// distance table are shared by headwords with a common beginning, and a beginning already out of
// reach skips every headword that starts with it.
std::vector<SpellingMatch> WithinTwoEdits(const Dictionary& dict, std::string_view word,
                                          std::size_t enough = SIZE_MAX);

// How common a headword is, as the dictionary itself tells: how many of its phrases are listed
// ("take off", "take over"...) plus how many senses its meaning gives. Larger is commoner.
std::size_t Commonness(const Dictionary& dict, std::size_t position);

// Up to `limit` spelling suggestions, nearest first, commoner first among equals, then index
// order; as the dictionary writes them.
std::vector<std::string> SpellingSuggestions(const Dictionary& dict, std::string_view word,
                                             std::size_t limit = kMostSuggestions);

// The base form (when a headword), then spelling suggestions: at most `limit`, no repeats.
std::vector<std::string> Suggest(const Dictionary& dict, std::string_view word,
                                 std::size_t limit = kMostSuggestions);

// The word box's lookup: SearchWords, and when nothing matches, the suggestions, also written
// below the not-found message of the meaning text: a blank line, then the label and the
// suggestions on one line, between kSuggestionSeparator (CR LF as the meaning box needs).
SearchResult LookUpWord(const Dictionary& dict, std::string_view wordUtf8);

// What begins the line of suggestions below the not-found message: "suggestions:" in Persian.
inline constexpr std::string_view kSuggestionsLabel =
    "\xD9\xBE\xDB\x8C\xD8\xB4\xD9\x86\xD9\x87\xD8\xA7\xD8\xAF\xD9\x87\xD8\xA7:";
// Between two suggestions on that line. Headwords are English: an English comma reads right
// within their left-to-right run.
inline constexpr std::string_view kSuggestionSeparator = ", ";

}  // namespace kelvara
