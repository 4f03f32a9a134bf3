#include "SpellingTrie.h"

#include <algorithm>

#include "CaseFold.h"
#include "Dictionary.h"

namespace kelvara {

namespace {
// The LetterBit of each ASCII character, folded as the index folds it.
constexpr std::array<std::uint32_t, 128> kAsciiBits = [] {
  std::array<std::uint32_t, 128> bits{};
  for (char32_t b = 0; b < 128; ++b) bits[b] = SpellingTrie::LetterBit((b >= 'A' && b <= 'Z') ? b + 32 : b);
  return bits;
}();
}  // namespace

std::size_t SpellingTrie::Bytes() const {
  std::size_t bytes = 0;
  for (const Level& level : levels) {
    bytes += level.letter.capacity() * sizeof(char32_t) + level.start.capacity() * sizeof(std::uint32_t) +
             level.firstChild.capacity() * sizeof(std::uint32_t) + level.shortest.capacity() + level.longest.capacity() +
             level.letters.capacity() * sizeof(std::uint32_t);
  }
  return bytes;
}

SpellingTrie BuildSpellingTrie(const Dictionary& dict) {
  constexpr std::size_t kDepth = SpellingTrie::kDepth;
  SpellingTrie trie;
  auto& levels = trie.levels;
  levels[0].letter.push_back(0);
  levels[0].start.push_back(0);
  levels[0].firstChild.push_back(0);
  levels[0].shortest.push_back(SpellingTrie::kLongLength);
  levels[0].longest.push_back(0);
  levels[0].letters.push_back(0);
  std::array<char32_t, kDepth> previous{}, current{};
  std::size_t previousLength = 0;
  for (std::size_t position = 0; position < dict.size(); ++position) {
    const std::string_view head = dict.HeadwordAt(position);
    std::size_t length = std::min(head.size(), kDepth);
    std::size_t characters = head.size();
    // after[k]: the characters from the k-th on, as LetterBits.
    std::array<std::uint32_t, kDepth + 1> after{};
    // Most headwords are ASCII: their bytes are their characters. One pass over the bytes after
    // the first kDepth tells both whether they are and which characters they have.
    unsigned any = 0;
    std::uint32_t tail = 0;
    for (std::size_t k = kDepth; k < head.size(); ++k) {
      const auto b = static_cast<unsigned char>(head[k]);
      any |= b;
      tail |= kAsciiBits[b & 0x7F];
    }
    for (std::size_t k = 0; k < length; ++k) any |= static_cast<unsigned char>(head[k]);
    if (any < 0x80) {
      after[length] = tail;
      for (std::size_t k = length; k-- > 0;) {
        const auto b = static_cast<unsigned char>(head[k]);
        current[k] = (b >= 'A' && b <= 'Z') ? b + 32u : b;
        after[k] = after[k + 1] | kAsciiBits[b];
      }
    } else {
      // Counted as the walk reads them: one folded character per decoding step.
      const char* p = head.data();
      const char* const end = p + head.size();
      length = 0;
      characters = 0;
      std::array<std::uint32_t, kDepth> own{};
      std::uint32_t rest = 0;  // the characters after the first kDepth
      for (; p < end; ++characters) {
        const char32_t c = NextFolded(p, end);
        if (length < kDepth) {
          own[length] = SpellingTrie::LetterBit(c);
          current[length++] = c;
        } else {
          rest |= SpellingTrie::LetterBit(c);
        }
      }
      for (std::size_t k = length; k-- > 0;) after[k] = own[k] | (k + 1 < length ? after[k + 1] : rest);
      if (length < after.size()) after[length] = rest;
    }
    std::size_t shared = 0;
    while (shared < length && shared < previousLength && current[shared] == previous[shared]) ++shared;
    // Each character after the shared beginning begins a run of its depth.
    for (std::size_t k = shared; k < length; ++k) {
      SpellingTrie::Level& level = levels[k + 1];
      level.letter.push_back(current[k]);
      level.start.push_back(static_cast<std::uint32_t>(position));
      level.shortest.push_back(SpellingTrie::kLongLength);
      level.longest.push_back(0);
      level.letters.push_back(0);
      if (k + 1 < kDepth) level.firstChild.push_back(static_cast<std::uint32_t>(levels[k + 2].letter.size()));
    }
    // The headword belongs to the last run of each depth up to its own length.
    const auto clamped = static_cast<std::uint8_t>(std::min<std::size_t>(characters, SpellingTrie::kLongLength));
    for (std::size_t k = 0; k <= length; ++k) {
      std::uint8_t& shortest = levels[k].shortest.back();
      std::uint8_t& longest = levels[k].longest.back();
      shortest = std::min(shortest, clamped);
      longest = std::max(longest, clamped);
      levels[k].letters.back() |= after[k];
    }
    previous = current;
    previousLength = length;
  }
  for (std::size_t d = 0; d < kDepth; ++d) levels[d].firstChild.push_back(static_cast<std::uint32_t>(levels[d + 1].letter.size()));
  for (SpellingTrie::Level& level : levels) {
    level.letter.shrink_to_fit();
    level.start.shrink_to_fit();
    level.firstChild.shrink_to_fit();
    level.shortest.shrink_to_fit();
    level.longest.shrink_to_fit();
    level.letters.shrink_to_fit();
  }
  return trie;
}

}  // namespace kelvara
