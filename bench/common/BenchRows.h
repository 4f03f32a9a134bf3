// The benchmark dictionary: headwords spread evenly over a word list, in shuffled file order,
// each with a few Persian words as its meaning. The same algorithm and seed as the engine
// benchmark, so that both talk about the same 300,000 rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "lookup/DictionaryWriter.h"

namespace kelvara::bench {

inline constexpr std::uint32_t kBenchSeed = 20240611;

// Empty when the list cannot be read or holds no words. Beyond the list's size, further rows are
// two-word phrases of its words; meaningBytes > 0 lengthens every meaning to about that many
// bytes (a dictionary of long entries). Neither changes the rows a smaller call makes.
std::vector<WordRow> MakeBenchRows(const std::filesystem::path& wordList, std::size_t wanted,
                                   std::mt19937& rng, std::size_t meaningBytes = 0);

// The first n characters (not bytes) of a UTF-8 word.
std::string Utf8Prefix(const std::string& word, std::size_t n);

}  // namespace kelvara::bench
