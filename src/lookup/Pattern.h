// The word box's text as the pattern `word*`: `?` any one character, `#` any one digit,
// `[abc]`, `[a-z]`, `[!a-z]` character lists, `*` any run. Letter case is ignored by folding
// both sides. A `[` without its `]` is an ordinary character; a reversed range (`z-a`) holds no
// character; `[]` takes no character at all and `[!]` any one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara {

class Pattern {
 public:
  // The word as typed (UTF-8; invalid bytes read as U+FFFD). The trailing `*` is implied.
  explicit Pattern(std::string_view word);

  // The folded text every match begins with: the literal characters before the first wildcard.
  const std::string& LiteralPrefix() const { return prefix_; }
  // True when the literal prefix is the whole pattern, so every key beginning with it matches.
  bool IsPlainPrefix() const { return tokens_.size() == 1; }
  // Whether a headword (as written, not folded) matches, given that its folded form begins with
  // LiteralPrefix().
  bool MatchesAfterPrefix(std::string_view headword) const;

 private:
  enum class Kind : std::uint8_t { Literal, AnyChar, AnyDigit, List, Star };
  struct Token {
    Kind kind;
    bool negated = false;
    char32_t ch = 0;               // Literal: the folded character
    std::uint32_t firstItem = 0;   // List: items_[firstItem, lastItem)
    std::uint32_t lastItem = 0;
  };
  struct Item {
    char32_t lo, hi;  // as written; a single character has lo == hi
  };

  bool Accepts(const Token& token, char32_t folded) const;
  // Adds the list token for cps[open..close]; false when the list takes no character (`[]`).
  bool ParseList(const std::vector<char32_t>& cps, std::size_t open, std::size_t close);

  std::string prefix_;
  std::size_t prefixChars_ = 0;  // characters in prefix_: folding keeps the count, not the bytes
  std::vector<Token> tokens_;  // after the literal prefix; always ends with Star
  std::vector<Item> items_;
  std::size_t minChars_ = 0;   // characters a match needs after the prefix
};

}  // namespace kelvara
