// Writing Data.db: used by kelvara-dict and by tests that make their own dictionaries. The
// program itself never writes a dictionary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
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
  // The streaming writer seals and writes its blocks on a second thread while the caller hands
  // it the next rows; false keeps all of it on the caller's thread (the same bytes).
  bool backgroundWrites = true;
  // Tests: asked before each write of the streaming writer with its offset and size (on the
  // thread that writes); a sentence fails that write as a full disk would.
  std::function<std::string(std::uint64_t offset, std::size_t size)> writeFault;
};

struct EncodeResult {
  std::vector<std::uint8_t> bytes;
  std::string error;  // "" on success, else what is wrong, in English
};

// What keeps a row out of a dictionary ("" when nothing does): an empty headword or one that
// begins with U+FEFF, text that is not UTF-8, a NUL or tab in any cell, a line break in the
// headword, or a line break other than CR LF in any other cell (imported meanings have lines).
std::string CheckRow(const WordRow& row);
// The same over views: the headword, then the other cells.
std::string CheckCells(std::string_view headword, std::span<const std::string_view> rest);
// True when a cell passes CheckRow's checks for its column (one pass over its bytes).
bool CellIsSound(std::string_view cell, bool headword);

// The index: row numbers by folded headword, ties in row order, as every writer orders them.
// `headword(r)` gives row r's headword (valid UTF-8 without NUL); for a large table it is called
// from two threads at once.
std::vector<std::uint32_t> IndexOrder(std::size_t rows,
                                      const std::function<std::string_view(std::size_t)>& headword);

// Every row has the most columns any row has; shorter rows are padded with empty cells.
EncodeResult EncodeDictionary(std::span<const WordRow> rows, const WriteOptions& options = {});

// Seals plaintexts as a version 2 file, the first as the directory and the others as blocks in
// order, whatever they hold: for tests and fuzzing of the reader's checks behind the seals.
EncodeResult SealVersion2(std::span<const std::vector<std::uint8_t>> parts,
                          const WriteOptions& options = {});

// Encodes and replaces `file` all at once. Returns "" or the reason it failed.
std::string WriteDictionaryFile(const std::filesystem::path& file, std::span<const WordRow> rows,
                                const WriteOptions& options = {});

// Version 2 written a row at a time, for dictionaries too large to hold twice in memory (the
// import): the same bytes as WriteDictionaryFile makes of the same rows, but neither the rows
// nor the file are ever held whole. The rows come twice, in index order (IndexOrder): first
// their sizes (Plan), which fix where every block lies, then their text (Add), each block sealed
// and written as it fills into a temporary file beside the target. Finish puts that file in
// the target's place; on any failure, or when the writer goes without Finish, the temporary
// file is removed and the target is as it was.
class StreamingDictionaryWriter {
 public:
  // `columns`: the table's columns (2 or more); rows with fewer have empty cells at the end.
  explicit StreamingDictionaryWriter(std::size_t columns, const WriteOptions& options = {});
  ~StreamingDictionaryWriter();
  StreamingDictionaryWriter(const StreamingDictionaryWriter&) = delete;
  StreamingDictionaryWriter& operator=(const StreamingDictionaryWriter&) = delete;

  // The next row in index order: its headword, and the bytes of its other cells together.
  void Plan(std::string_view headword, std::uint64_t otherCellsSize);
  // Checks the plan, creates the temporary file and writes the header and the directory.
  std::string Begin(const std::filesystem::path& target);
  // The next row in index order, as planned: the headword, then the other cells (at most
  // columns - 1). Each row is checked as CheckRow checks, unless `sound`: the caller has found
  // every cell sound with CellIsSound already (and the headword neither empty nor starting with
  // U+FEFF), so that text is not scanned twice.
  std::string Add(std::string_view headword, std::span<const std::string_view> rest, bool sound = false);
  std::string Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kelvara
