// The dictionary file Data.db, opened once and kept in memory: the table Words (headword in
// column 0 `English`, meaning in column 1, further columns kept) and its sorted index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Format.h"

namespace kelvara {

class FileLock;

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

struct OpenResult {
  std::unique_ptr<Dictionary> dict;  // null unless error == None
  DictError error = DictError::None;
  std::string message;  // one English sentence naming the reason; empty on success
};

// Short English name of an error ("damaged", "locked", ...), for tools and logs.
std::string_view DictErrorName(DictError error);

class Dictionary {
 public:
  // Reads the whole file into memory and keeps the file open, sharing it for reading only, until
  // the object is destroyed.
  static OpenResult Open(const std::filesystem::path& file,
                         std::string_view password = kDictionaryPassword);
  // The same checks on bytes already in memory (tests, fuzzing); no file is held.
  static OpenResult FromBytes(std::span<const std::uint8_t> fileBytes,
                              std::string_view password = kDictionaryPassword);

  ~Dictionary();
  Dictionary(const Dictionary&) = delete;
  Dictionary& operator=(const Dictionary&) = delete;

  // Rows in file order. All text is UTF-8 viewing the loaded data, valid while *this lives.
  std::size_t size() const { return rowCount_; }
  std::string_view English(std::size_t row) const { return Cell(row, 0); }
  std::string_view Meaning(std::size_t row) const { return Cell(row, 1); }
  // Every row has the same number of columns (at least two); missing ones read as empty.
  std::size_t ColumnCount() const { return columnNames_.size(); }
  // Out-of-range rows and columns read as empty rather than fault.
  std::string_view Cell(std::size_t row, std::size_t column) const {
    const std::size_t columns = columnNames_.size();
    if (row >= rowCount_ || column >= columns) return {};
    const std::size_t cell = column * rowCount_ + row;
    const std::uint32_t begin = cell == 0 ? 0 : cellEnds_[cell - 1];
    return std::string_view(text_ + begin, cellEnds_[cell] - begin);
  }
  const std::vector<std::string>& ColumnNames() const { return columnNames_; }

  // The index: rows ordered by their case-folded headword, code point by code point, ties in
  // file order. SortedRow(i) is the row at position i.
  std::uint32_t SortedRow(std::size_t position) const { return sorted_[position]; }
  // The headword at index position i as written. Its folded form is not kept: searches fold as
  // they compare (CaseFold.h), so opening makes no second copy of the headwords.
  std::string_view HeadwordAt(std::size_t position) const { return English(sorted_[position]); }

  // Index positions [first, last) whose folded headword begins with `foldedPrefix`.
  std::pair<std::size_t, std::size_t> PrefixRange(std::string_view foldedPrefix) const;

  // What the header says, for `kelvara-dict info`.
  std::uint16_t FormatVersion() const { return formatVersion_; }
  std::uint32_t KdfIterations() const { return kdfIterations_; }
  std::uint64_t FileSize() const { return fileSize_; }

 private:
  Dictionary() = default;
  friend struct DictionaryLoader;

  std::unique_ptr<FileLock> lock_;
  std::unique_ptr<std::uint8_t[]> data_;   // the file, its table decrypted in place
  const char* text_ = nullptr;             // every cell's bytes, back to back
  format::U32View cellEnds_;               // end of cell (column * rows + row) in text_
  format::U32View sorted_;                 // row numbers in index order
  // headLevels_[0]: the first eight bytes of each folded headword, big-endian and zero-padded;
  // each further level holds every 16th entry of the one below, up to a top of at most 16. A
  // search compares integers, two cache lines a level, and reads headwords only for prefixes
  // longer than eight bytes, within the run that shares their first eight.
  std::vector<std::vector<std::uint64_t>> headLevels_;
  std::size_t HeadBound(std::uint64_t v, bool after) const;
  std::vector<std::string> columnNames_;
  std::size_t rowCount_ = 0;
  std::uint16_t formatVersion_ = 0;
  std::uint32_t kdfIterations_ = 0;
  std::uint64_t fileSize_ = 0;
};

}  // namespace kelvara
