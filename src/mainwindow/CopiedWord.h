// What the clipboard watcher makes of a copied text: the word for the word box and the balloon's
// title (the copied word, or "copied -> base"), and the balloon's text, which names the headword
// the meaning belongs to when that is not the word itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "lookup/Dictionary.h"
#include "lookup/SearchWords.h"

namespace kelvara {

struct CopiedWord {
  std::wstring word;   // for the word box
  std::wstring title;  // for the balloon
};

// Nothing when the copy is not a short one: it then goes into the word box as copied.
std::optional<CopiedWord> ResolveCopiedWord(const Dictionary& dict, std::wstring_view copied);

// The meaning box's text, preceded by the first listed headword on a line of its own when the
// list begins with a longer headword than the word looked up (a prefix-only match).
std::wstring BalloonMeaning(std::wstring_view word, const SearchResult& result, std::wstring_view meaning);

}  // namespace kelvara
