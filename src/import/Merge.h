// Sources into the rows of one dictionary: one row per headword, letter case ignored (the program
// lists "Apple" and "apple" together and shows the first one's meaning, so that one must hold
// every text). The row keeps the spelling met first.
//
// A row that gathers more than one text holds each under a line naming its source
// ("— WordNet —"), sources in the order given, a source's own repeats separated by an empty
// line. A row with one text holds it as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ImportSource.h"
#include "lookup/DictionaryWriter.h"

namespace kelvara::import {

struct MergeStats {
  std::size_t entries = 0;  // entries read from the sources
  std::size_t joined = 0;   // entries whose text went into a row an earlier entry made
  std::size_t cleaned = 0;  // entries whose headword or meaning needed mending (see CleanEntry)
  std::size_t skipped = 0;  // entries left out: nothing left of the headword
  std::size_t rows = 0;     // rows in the result
};

// Mends what a dictionary cannot hold, so that CheckRow accepts the row: in the headword a tab
// or line break becomes a space, NULs and leading byte order marks go, blanks around it go; in
// the meaning a tab becomes a space, NULs go, any line break becomes CR LF; bytes that are not
// UTF-8 become U+FFFD in both. The views are narrowed, or pointed at a mended copy kept in
// `keep` (sound text, the usual case, is not copied). Returns true when anything beyond the
// trimming changed. `meaningSound`: the meaning is known to pass CellIsSound, and is not scanned.
bool CleanEntry(Entry& entry, TextArena& keep, bool meaningSound = false);

// The rows of the merged dictionary, their text left where the sources hold it: a row that
// gathers several texts has them joined only when it is asked for.
class MergedRows {
 public:
  std::size_t size() const { return rows_.size(); }
  // 2, or more when a row of the dictionary added to has more.
  std::size_t ColumnCount() const { return columns_; }
  std::string_view Headword(std::size_t row) const { return rows_[row].headword; }
  // Column 2 on (the meaning, then any further cells of a kept row, ColumnCount() - 1 in all)
  // into `cells`, as views that last until the next call.
  void Cells(std::size_t row, std::vector<std::string_view>& cells);
  // The bytes of those cells in all, counted without joining a row's texts.
  std::uint64_t CellsSize(std::size_t row) const;
  // Starts bringing a row's headword and first text into the cache (rows are written in index
  // order, their text lies in the order the sources were read).
  void Prefetch(std::size_t row) const;
  WordRow Row(std::size_t row);

 private:
  friend MergedRows MergeSources(std::vector<WordRow> existing, const std::string& existingName,
                                 std::vector<Source> sources, MergeStats& stats);
  static constexpr std::uint32_t kNone = UINT32_MAX;
  struct Text {
    std::string_view text;
    std::uint32_t source;  // 0: the dictionary added to, k: sources_[k - 1]
    std::uint32_t next;    // the row's next text (in `more_`), or kNone
  };
  struct Slot {
    std::string_view headword;
    Text first;
    std::uint32_t last;  // the row's last text in `more_`, or kNone
  };

  std::vector<WordRow> existing_;
  std::vector<Source> sources_;
  TextArena mended_;
  std::vector<std::string> names_;  // per source, 0 the dictionary added to
  std::vector<std::size_t> nameLineSizes_;  // SourceNameLine(names_[k]).size()
  std::vector<Slot> rows_;
  std::vector<Text> more_;  // second and later texts of rows
  std::size_t columns_ = 2;
  std::string joined_;
};

// `existing` (the rows of the dictionary added to, may be empty) stay first and in their order;
// an imported headword already there adds its text to the first such row, under `existingName`'s
// line and its own. The result holds the sources (their text is not copied).
MergedRows MergeSources(std::vector<WordRow> existing, const std::string& existingName,
                        std::vector<Source> sources, MergeStats& stats);

// The same rows whole (tests, fuzzing).
std::vector<WordRow> MergeToRows(std::vector<WordRow> existing, const std::string& existingName,
                                 std::vector<Source> sources, MergeStats& stats);

// The line above a source's text in a row that holds several.
std::string SourceNameLine(const std::string& name);

}  // namespace kelvara::import
