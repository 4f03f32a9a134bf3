#include "CopiedWord.h"

#include "lookup/CaseFold.h"
#include "lookup/Resolve.h"
#include "toolkit/Utf.h"

namespace kelvara {

std::optional<CopiedWord> ResolveCopiedWord(const Dictionary& dict, std::wstring_view copied) {
  // Longer copies are never taken: no need to convert a whole document to find that out.
  if (copied.empty() || copied.size() > kLongestCopy) return std::nullopt;
  const Resolution r = ResolveCopied(dict, toolkit::WideToUtf8(copied));
  if (!r.taken) return std::nullopt;
  return CopiedWord{toolkit::Utf8ToWide(r.text), toolkit::Utf8ToWide(BalloonTitleFor(r))};
}

std::wstring BalloonMeaning(std::wstring_view word, const SearchResult& result, std::wstring_view meaning) {
  if (result.matches.empty()) return std::wstring(meaning);
  const std::string_view first = result.matches.Headword(0);
  if (CompareFolded(first, toolkit::WideToUtf8(word)) == 0) return std::wstring(meaning);
  // The headword alone on its line: no trailing colon for a right-to-left balloon to move to the
  // wrong end, no direction mark for a font without its glyph.
  return toolkit::Utf8ToWide(first) + L"\r\n" + std::wstring(meaning);
}

}  // namespace kelvara
