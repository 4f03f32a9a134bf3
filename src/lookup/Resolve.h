// From copied text to the text the word box looks up: a short copy (a word or a phrase of up to
// four words on one line) is cleaned of surrounding white space, punctuation and quotes and, when
// it is not a headword itself, replaced by its base form when that is one (books -> book, went
// -> go, looked up -> look up). Longer copies are left exactly as copied.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Dictionary.h"

namespace kelvara {

// The most words a copy may have for the resolver to take it.
inline constexpr std::size_t kMostCopiedWords = 4;
// Copies longer than this (bytes) are not looked at at all: no word or short phrase is that long.
inline constexpr std::size_t kLongestCopy = 256;

struct Resolution {
  // What goes into the word box: the copy itself when the resolver did not take it.
  std::string text;
  // The copied word without what surrounded it (blanks, punctuation, quotes), or the text as
  // copied when that is a headword; the copy itself when not taken. The balloon's title.
  std::string cleaned;
  // A short copy, which the resolver handled.
  bool taken = false;
  // More than white space and punctuation changed: a base form or a dropped possessive.
  bool changed = false;
};

// Never throws on odd input and never looks at more than kLongestCopy bytes of it.
Resolution ResolveCopied(const Dictionary& dict, std::string_view copiedUtf8);

// The headword, as the dictionary writes it, whose whole text equals `text` with letter case
// ignored; nothing when there is none.
std::optional<std::string_view> FindHeadword(const Dictionary& dict, std::string_view text);

// The candidate bases of one word, in the order they are tried, lower case: irregular forms
// first, then the suffix rules. Empty for a word that has no inflected look.
std::vector<std::string> BaseCandidates(std::string_view word);

// The first candidate base of `word` (a word or a phrase of up to four words) that is a headword,
// as the dictionary writes it; empty when none is. The word itself is not a candidate.
std::string BaseFormHeadword(const Dictionary& dict, std::string_view word);

// The balloon title for a resolution: the copied word, and "copied -> base" when the resolver
// changed more than white space and punctuation.
std::string BalloonTitleFor(const Resolution& r);

}  // namespace kelvara
