// The top of the sorted index seen as a trie, for the spelling suggestions: the runs of headwords
// that share their first one, two, three and four folded characters, where each run begins and
// where its own runs are. The suggestions' walk reads a node's children here instead of searching
// the index for them: near the root those searches cover most of the index and were most of its
// reading. Each run also knows its shortest and longest headword and which characters follow the
// shared beginning, so that the walk leaves a run whose lengths are too far from the word's or
// that lacks too many of the word's characters. Made in one pass over the headwords on the first
// suggestion request and kept with the dictionary: eighteen bytes a run, about 425 kB for
// 300,000 English headwords.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvara {

class Dictionary;

struct SpellingTrie {
  static constexpr std::size_t kDepth = 4;

  // The runs of one depth, in index order.
  struct Level {
    std::vector<char32_t> letter;        // the last of the characters the run shares (folded)
    std::vector<std::uint32_t> start;    // the index position of its first headword
    // The runs one level down that continue run r are [firstChild[r], firstChild[r + 1]); one
    // entry more than there are runs. Empty on the deepest level.
    std::vector<std::uint32_t> firstChild;
    // The fewest and the most folded characters of a headword in the run (kLongLength for
    // that many or more): a word whose length is too far from both cannot come near any of them.
    std::vector<std::uint8_t> shortest, longest;
    // The characters that follow the shared beginning in any of the run's headwords, one bit each
    // (LetterBit): a character of the word that none of them has costs an edit.
    std::vector<std::uint32_t> letters;
  };
  static constexpr unsigned kLongLength = 255;

  // a to z one bit each; every other character shares one of six bits, by its value.
  static constexpr std::uint32_t LetterBit(char32_t c) {
    return std::uint32_t{1} << (c >= 'a' && c <= 'z' ? c - 'a' : 26 + c % 6);
  }

  // levels[0] holds the root alone (the whole index); levels[d] the runs of d characters. A run
  // ends where the next run of the same parent begins, or where its parent ends; its headwords
  // that are the shared beginning itself sort first, before its first child.
  std::array<Level, kDepth + 1> levels;

  // Heap memory held, in bytes.
  std::size_t Bytes() const;
};

// Reads every headword once (version 2 decrypts the headword blocks not yet read). A damaged
// block reads as empty headwords: they belong to no run below the root.
SpellingTrie BuildSpellingTrie(const Dictionary& dict);

}  // namespace kelvara
