// The dictionary file Data.db, opened once and kept open: the table Words (headword in column 0
// `English`, meaning in column 1, further columns kept) and its sorted index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Format.h"

namespace kelvara {

class MappedFile;

// The password every Data.db is protected with.
inline constexpr std::string_view kDictionaryPassword = "Record Key Missing";

enum class DictError {
  None,
  Missing,         // no such file
  Unreadable,      // exists but cannot be read (permissions, a folder, an I/O error, too large)
  Locked,          // another process holds the file in a way that forbids us to share it
  WrongPassword,   // the password does not open this file
  Damaged,         // authentication failed or the content is inconsistent
  Truncated,       // the file ends before its own header says it should
  UnknownVersion,  // a dictionary file of a format version this program does not know
  NotADictionary,  // not a dictionary file at all
};

class Dictionary;
struct SpellingTrie;

struct OpenResult {
  std::unique_ptr<Dictionary> dict;  // null unless error == None
  DictError error = DictError::None;
  std::string message;  // one English sentence naming the reason; empty on success
};

// Short English name of an error ("damaged", "locked", ...), for tools and logs.
std::string_view DictErrorName(DictError error);

// Called once for each block that fails its check when a lookup first reads it, with one
// English sentence naming the file and the block.
using DamageReport = std::function<void(const std::string& message)>;

class Dictionary {
 public:
  // Maps the file and keeps it open, sharing it for reading only, until the object is destroyed.
  // Version 1 files are read, decrypted and checked whole here; version 2 files only as far as
  // the header and the directory, the rest a block at a time as lookups need it.
  static OpenResult Open(const std::filesystem::path& file,
                         std::string_view password = kDictionaryPassword);
  // The same checks on bytes already in memory (tests, fuzzing); no file is held.
  static OpenResult FromBytes(std::span<const std::uint8_t> fileBytes,
                              std::string_view password = kDictionaryPassword);

  ~Dictionary();
  Dictionary(const Dictionary&) = delete;
  Dictionary& operator=(const Dictionary&) = delete;

  // Rows in file order (version 2 stores them in index order, so there row = index position).
  std::size_t size() const { return rowCount_; }
  // The headword as written, viewing data that stays valid while *this lives; empty out of range
  // or when its block is damaged.
  std::string_view English(std::size_t row) const;
  // The other cells are copied out of their block, which is read, decrypted and authenticated on
  // first use: std::nullopt when that block is damaged (never its bytes as text). Out-of-range
  // rows and columns read as empty. Every row has the same number of columns (at least two).
  std::optional<std::string> Meaning(std::size_t row) const { return Cell(row, 1); }
  std::optional<std::string> Cell(std::size_t row, std::size_t column) const;
  std::size_t ColumnCount() const { return columnNames_.size(); }
  const std::vector<std::string>& ColumnNames() const { return columnNames_; }

  // The index: rows ordered by their case-folded headword, code point by code point, ties in
  // file order. SortedRow(i) is the row at position i.
  std::uint32_t SortedRow(std::size_t position) const {
    return blocks_ ? static_cast<std::uint32_t>(position) : sorted_[position];
  }
  // The headword at index position i as written (views as English). Its folded form is not
  // kept: searches fold as they compare (CaseFold.h).
  std::string_view HeadwordAt(std::size_t position) const;

  // Index positions [first, last) whose folded headword begins with `foldedPrefix`.
  std::pair<std::size_t, std::size_t> PrefixRange(std::string_view foldedPrefix) const;

  // The spelling suggestions' view of the top of the index (SpellingTrie.h): made on the first
  // call, from any thread, and kept while the dictionary lives.
  const SpellingTrie& SuggestionTrie() const;

  // How many times a read met a damaged block so far: a lookup that sees this grow has read
  // damage (an unreadable headword reads as empty, a search through it finds too little).
  std::uint64_t DamageEvents() const;
  // Who hears of a damaged block, once per block (the program logs it). Set before lookups.
  void OnDamage(DamageReport report);
  // Reads and checks every block (version 2; version 1 was checked whole at opening): "" or
  // the first problem, in English. Headword blocks stay loaded, as after lookups.
  std::string CheckAllBlocks() const;

  // What the header says, for `kelvara-dict info`.
  std::uint16_t FormatVersion() const { return formatVersion_; }
  std::uint32_t KdfIterations() const { return kdfIterations_; }
  std::uint64_t FileSize() const { return fileSize_; }
  // Version 2: the headword blocks' size in the file and their count (0 for version 1).
  std::uint64_t HeadwordIndexBytes() const;
  std::size_t HeadwordBlocks() const;

 private:
  Dictionary();
  friend struct DictionaryLoader;
  struct Blocks;

  std::size_t HeadBound(std::uint64_t v, bool after) const;
  // Version 2: the range of a prefix whose matches begin at `start` when it ends a few entries
  // later within the same block; std::nullopt when it does not (or the block is damaged).
  std::optional<std::pair<std::size_t, std::size_t>> NearbyRange(std::size_t start, std::string_view prefix,
                                                                 bool byHeads, std::uint64_t high) const;

  std::unique_ptr<MappedFile> file_;       // the file, mapped and held (Open only)
  std::unique_ptr<std::uint8_t[]> data_;   // version 1: the decrypted table; FromBytes: the bytes
  std::unique_ptr<Blocks> blocks_;         // version 2: the directory and the blocks read so far
  // Version 1 only: the table where it lies in data_.
  const char* text_ = nullptr;             // every cell's bytes, back to back
  format::U32View cellEnds_;               // end of cell (column * rows + row) in text_
  format::U32View sorted_;                 // row numbers in index order
  // headLevels_[0]: the first eight bytes of each folded headword, big-endian and zero-padded;
  // each further level holds every 16th entry of the one below, up to a top of at most 16. A
  // search compares integers, two cache lines a level, and reads headwords only for prefixes
  // longer than eight bytes, within the run that shares their first eight.
  std::vector<std::vector<std::uint64_t>> headLevels_;
  std::string_view CellV1(std::size_t row, std::size_t column) const {
    const std::size_t cell = column * rowCount_ + row;
    const std::uint32_t begin = cell == 0 ? 0 : cellEnds_[cell - 1];
    return std::string_view(text_ + begin, cellEnds_[cell] - begin);
  }

  std::vector<std::string> columnNames_;
  std::size_t rowCount_ = 0;
  std::uint16_t formatVersion_ = 0;
  std::uint32_t kdfIterations_ = 0;
  std::uint64_t fileSize_ = 0;
  mutable std::once_flag trieOnce_;
  mutable std::unique_ptr<SpellingTrie> trie_;
};

}  // namespace kelvara
