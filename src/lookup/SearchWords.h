// The prefix query behind the word box: every headword that the typed text begins with, as the
// pattern `word*` with `?`, `#`, `*` and character lists, letter case ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Dictionary.h"

namespace kelvara {

// Shown in the meaning box when nothing matches; other code compares against it exactly.
// (Arabic yeh U+064A and keheh U+06A9, as the program has always written it.)
inline constexpr std::string_view NotFoundText =
    "\xDA\xA9\xD9\x84\xD9\x85\xD9\x87 \xD9\x85\xD9\x88\xD8\xB1\xD8\xAF \xD9\x86\xD8\xB8\xD8\xB1 "
    "\xD9\x8A\xD8\xA7\xD9\x81\xD8\xAA \xD9\x86\xD8\xB4\xD8\xAF.";

// Shown in the meaning box instead of a meaning that cannot be read because its part of the
// dictionary file is damaged ("This part of the dictionary file is damaged; the meaning of this
// word cannot be shown."). The program goes on; the damage is logged.
inline constexpr std::string_view DamagedMeaningText =
    "این بخش از فایل واژه\u200Cنامه آسیب دیده است؛ معنی این واژه را نمی\u200Cتوان نشان داد.";

// The rows a query matched, in list order. A plain prefix is a range of the dictionary's index
// and costs nothing per match; a pattern keeps the index positions that passed its filter.
class Matches {
 public:
  Matches() = default;

  std::size_t size() const { return positions_.empty() ? count_ : positions_.size(); }
  bool empty() const { return size() == 0; }
  // Row number (file order) of the i-th match.
  std::uint32_t Row(std::size_t i) const { return dict_->SortedRow(Position(i)); }
  std::string_view Headword(std::size_t i) const { return dict_->HeadwordAt(Position(i)); }
  // Read from the meaning's block: std::nullopt when that block is damaged.
  std::optional<std::string> Meaning(std::size_t i) const { return dict_->Meaning(Row(i)); }

  // The same rows in the same order from the same dictionary (typing on often narrows nothing).
  bool operator==(const Matches& other) const = default;

 private:
  friend class MatchesBuilder;
  std::size_t Position(std::size_t i) const { return positions_.empty() ? first_ + i : positions_[i]; }
  const Dictionary* dict_ = nullptr;
  std::size_t first_ = 0;  // a contiguous range of index positions...
  std::size_t count_ = 0;
  std::vector<std::uint32_t> positions_;  // ...or these index positions
};

struct SearchResult {
  Matches matches;
  // The first match's meaning (empty when that row's meaning is empty), NotFoundText, or
  // DamagedMeaningText when the lookup read a damaged block.
  std::string meaningText;
  bool damaged = false;
  // When nothing matched: headwords the user may have meant, listed in place of matches
  // (LookUpWord fills them; SearchWords leaves them empty).
  std::vector<std::string> suggestions;
};

// Never throws on odd input: quotes, unclosed `[`, NUL, newlines and invalid UTF-8 are looked up
// as text. The dictionary must outlive the result.
SearchResult SearchWords(const Dictionary& dict, std::string_view wordUtf8);

// The matches alone, for callers that need no meaning text.
Matches FindMatches(const Dictionary& dict, std::string_view wordUtf8);

}  // namespace kelvara
