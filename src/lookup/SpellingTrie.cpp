#include "SpellingTrie.h"

#include <algorithm>

#include "CaseFold.h"
#include "Dictionary.h"

namespace kelvara {

std::size_t SpellingTrie::Bytes() const {
  std::size_t bytes = 0;
  for (const Level& level : levels) {
    bytes += level.letter.capacity() * sizeof(char32_t) + level.start.capacity() * sizeof(std::uint32_t) +
             level.firstChild.capacity() * sizeof(std::uint32_t);
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
  std::array<char32_t, kDepth> previous{}, current{};
  std::size_t previousLength = 0;
  for (std::size_t position = 0; position < dict.size(); ++position) {
    const std::string_view head = dict.HeadwordAt(position);
    std::size_t length = std::min(head.size(), kDepth);
    // Most headwords begin with ASCII: their bytes are their characters.
    if (std::all_of(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(length),
                    [](char b) { return static_cast<unsigned char>(b) < 0x80; })) {
      for (std::size_t k = 0; k < length; ++k) {
        const auto b = static_cast<unsigned char>(head[k]);
        current[k] = (b >= 'A' && b <= 'Z') ? b + 32u : b;
      }
    } else {
      const char* p = head.data();
      const char* const end = p + head.size();
      length = 0;
      while (p < end && length < kDepth) current[length++] = NextFolded(p, end);
    }
    std::size_t shared = 0;
    while (shared < length && shared < previousLength && current[shared] == previous[shared]) ++shared;
    // Each character after the shared beginning begins a run of its depth.
    for (std::size_t k = shared; k < length; ++k) {
      SpellingTrie::Level& level = levels[k + 1];
      level.letter.push_back(current[k]);
      level.start.push_back(static_cast<std::uint32_t>(position));
      if (k + 1 < kDepth) level.firstChild.push_back(static_cast<std::uint32_t>(levels[k + 2].letter.size()));
    }
    previous = current;
    previousLength = length;
  }
  for (std::size_t d = 0; d < kDepth; ++d) levels[d].firstChild.push_back(static_cast<std::uint32_t>(levels[d + 1].letter.size()));
  for (SpellingTrie::Level& level : levels) {
    level.letter.shrink_to_fit();
    level.start.shrink_to_fit();
    level.firstChild.shrink_to_fit();
  }
  return trie;
}

}  // namespace kelvara
