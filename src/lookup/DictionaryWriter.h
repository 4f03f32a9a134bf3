// Writing Data.db: used by kelvara-dict and by tests that make their own dictionaries. The
// program itself never writes a dictionary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Dictionary.h"

namespace kelvara {

// One row of the table Words: column 0 the headword, column 1 the meaning, then any others.
using WordRow = std::vector<std::string>;

// The key derivation's cost for new files, paid at every start. The password is written in the
// format's description, so more iterations would protect nothing: the least the format allows
// (10,000 took 10.7 ms of a start under Wine, 1,000 take about one).
inline constexpr std::uint32_t kDefaultKdfIterations = 1000;

struct WriteOptions {
  std::string password{kDictionaryPassword};
  std::uint32_t kdfIterations = kDefaultKdfIterations;
  // Fixed salt and nonce make the output reproducible (tests); normally both are random.
  std::optional<std::vector<std::uint8_t>> saltAndNonce;  // 16 + 12 bytes
  // The format version to write: 2, or 1 for tests of the older reader.
  std::uint16_t formatVersion = format::kVersion;
  // Version 2's block sizes (tests make them small to have many blocks in a small file). A
  // meaning block target of 0 is format::MeaningBlockTarget of the table's meanings.
  std::uint32_t headwordsPerBlock = format::kHeadwordsPerBlock;
  std::size_t meaningBlockTarget = 0;
};

struct EncodeResult {
  std::vector<std::uint8_t> bytes;
  std::string error;  // "" on success, else what is wrong, in English
};

// What keeps a row out of a dictionary ("" when nothing does): an empty headword or one that
// begins with U+FEFF, text that is not UTF-8, a NUL or tab in any cell, a line break in the
// headword, or a line break other than CR LF in any other cell (imported meanings have lines).
std::string CheckRow(const WordRow& row);

// Every row has the most columns any row has; shorter rows are padded with empty cells.
EncodeResult EncodeDictionary(std::span<const WordRow> rows, const WriteOptions& options = {});

// Seals plaintexts as a version 2 file, the first as the directory and the others as blocks in
// order, whatever they hold: for tests and fuzzing of the reader's checks behind the seals.
EncodeResult SealVersion2(std::span<const std::vector<std::uint8_t>> parts,
                          const WriteOptions& options = {});

// Encodes and replaces `file` all at once. Returns "" or the reason it failed.
std::string WriteDictionaryFile(const std::filesystem::path& file, std::span<const WordRow> rows,
                                const WriteOptions& options = {});

}  // namespace kelvara
