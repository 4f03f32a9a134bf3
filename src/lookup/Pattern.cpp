#include "Pattern.h"

#include "CaseFold.h"
#include "Utf8.h"

namespace kelvara {

Pattern::Pattern(std::string_view word) {
  std::vector<char32_t> cps;
  cps.reserve(word.size());
  for (const char* p = word.data(), *limit = p + word.size(); p < limit;) {
    char32_t cp;
    p += utf8::DecodeLenient(p, limit, &cp);
    cps.push_back(cp);
  }

  // nextClose[i]: the first `]` at or after i, or cps.size().
  std::vector<std::size_t> nextClose(cps.size() + 1, cps.size());
  for (std::size_t i = cps.size(); i-- > 0;) nextClose[i] = cps[i] == ']' ? i : nextClose[i + 1];

  bool inPrefix = true;
  auto literal = [&](char32_t cp) {
    const char32_t folded = FoldCase(cp);
    if (inPrefix) {
      utf8::Append(prefix_, folded);
      ++prefixChars_;
    } else {
      tokens_.push_back({Kind::Literal, false, folded, 0, 0});
      ++minChars_;
    }
  };
  for (std::size_t i = 0; i < cps.size(); ++i) {
    const char32_t c = cps[i];
    if (c == '[') {
      const std::size_t close = nextClose[i + 1];
      if (close == cps.size()) {
        literal(c);  // never closed: an ordinary `[`
        continue;
      }
      if (ParseList(cps, i, close)) {
        inPrefix = false;
        ++minChars_;
      }
      i = close;
      continue;
    }
    if (c == '?' || c == '#') {
      inPrefix = false;
      tokens_.push_back({c == '?' ? Kind::AnyChar : Kind::AnyDigit, false, 0, 0, 0});
      ++minChars_;
    } else if (c == '*') {
      inPrefix = false;
      if (tokens_.empty() || tokens_.back().kind != Kind::Star) tokens_.push_back({Kind::Star});
    } else {
      literal(c);
    }
  }
  if (tokens_.empty() || tokens_.back().kind != Kind::Star) tokens_.push_back({Kind::Star});
}

// A list runs from `[` to the first `]` after it (`nextClose`, found once for the whole word, so
// a long run of unclosed `[` stays linear). Items are single characters or ranges `a-z`; a `-`
// first or last is itself; a reversed range such as `z-a` holds no character.
bool Pattern::ParseList(const std::vector<char32_t>& cps, std::size_t open, std::size_t close) {
  std::size_t i = open + 1;
  const bool negated = i < close && cps[i] == '!';
  if (negated) ++i;
  const auto first = static_cast<std::uint32_t>(items_.size());
  while (i < close) {
    if (i + 2 < close && cps[i + 1] == '-') {
      items_.push_back({cps[i], cps[i + 2]});
      i += 3;
    } else {
      items_.push_back({cps[i], cps[i]});
      ++i;
    }
  }
  const auto last = static_cast<std::uint32_t>(items_.size());
  if (first == last && !negated) return false;  // `[]`: no character at all
  if (first == last) {
    tokens_.push_back({Kind::AnyChar, false, 0, 0, 0});  // `[!]`: none excluded
  } else {
    tokens_.push_back({Kind::List, negated, 0, first, last});
  }
  return true;
}

bool Pattern::Accepts(const Token& token, char32_t folded) const {
  switch (token.kind) {
    case Kind::Literal: return token.ch == folded;
    case Kind::AnyChar: return true;
    case Kind::AnyDigit: return folded >= '0' && folded <= '9';
    case Kind::Star: return false;
    case Kind::List: break;
  }
  bool inList = false;
  for (std::uint32_t k = token.firstItem; k < token.lastItem && !inList; ++k) {
    const Item& item = items_[k];
    if (item.lo > item.hi) continue;
    if (item.lo == item.hi) {
      inList = FoldCase(item.lo) == folded;
    } else {
      // A character is in a range when it, or another case of it, lies there: [A-Z] takes 'q'.
      inList = (folded >= item.lo && folded <= item.hi) ||
               AnyOtherCaseInRange(folded, item.lo, item.hi);
    }
  }
  return inList != token.negated;
}

// Glob matching with one backtrack point per star: linear in practice, never exponential. The
// pattern ends with a star, so reaching it is a match. The headword is folded as it is read.
bool Pattern::MatchesAfterPrefix(std::string_view headword) const {
  const char* const limit = headword.data() + headword.size();
  const char* begin = headword.data();
  for (std::size_t i = 0; i < prefixChars_; ++i) {
    if (begin == limit) return false;
    char32_t skipped;
    begin += utf8::DecodeLenient(begin, limit, &skipped);
  }
  // Every character takes at least one byte.
  if (static_cast<std::size_t>(limit - begin) < minChars_) return false;
  const std::size_t last = tokens_.size() - 1;

  std::size_t t = 0;
  const char* p = begin;
  std::size_t starToken = SIZE_MAX;
  const char* starText = nullptr;
  while (true) {
    if (tokens_[t].kind == Kind::Star) {
      if (t == last) return true;
      starToken = ++t;
      starText = p;
      continue;
    }
    if (p < limit) {
      const char* next = p;
      const char32_t folded = NextFolded(next, limit);
      if (Accepts(tokens_[t], folded)) {
        ++t;
        p = next;
        continue;
      }
    }
    if (starToken == SIZE_MAX || starText >= limit) return false;
    char32_t skipped;
    starText += utf8::DecodeLenient(starText, limit, &skipped);
    p = starText;
    t = starToken;
  }
}

}  // namespace kelvara
