// gzip and dictzip: the compressed forms of dictionary files (.idx.gz, .dsl.dz, .dict.dz).
// Portable, over zlib. Nothing here reads past the bytes it is given, whatever they hold.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara::import {

// Unpacks gzip data of one or more members (as `cat a.gz b.gz` makes) into `out`. Zero bytes
// after the last member are allowed (tape padding); anything else there is an error. On failure
// returns false with the reason in `error` (English, without the file's name: the caller adds
// it); `out` then holds what was unpacked so far.
bool GunzipWhole(std::string_view compressed, std::string& out, std::string& error);

// As GunzipWhole, but refuses to unpack more than `limit` bytes (a small file that unpacks to
// gigabytes is an error, not an exhausted machine).
bool GunzipWhole(std::string_view compressed, std::string& out, std::string& error,
                 std::uint64_t limit);

// True when the bytes begin as gzip data does (1F 8B).
bool LooksGzipped(std::string_view bytes);

// Where a dictzip reader gets its compressed bytes: a file read a piece at a time, or bytes in
// memory (tests, fuzzing).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Reads exactly `length` bytes at `offset` into `out`; false (with the reason) when it cannot.
  virtual bool ReadAt(std::uint64_t offset, std::size_t length, std::string& out,
                      std::string& error) = 0;
};

// Reads bytes that the caller keeps alive as long as the source.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, std::size_t length, std::string& out,
              std::string& error) override;

 private:
  std::string_view bytes_;
};

class FileSource final : public ByteSource {
 public:
  // Opens the file; false with the reason when it cannot be opened.
  bool Open(const std::filesystem::path& file, std::string& error);
  std::uint64_t size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, std::size_t length, std::string& out,
              std::string& error) override;

 private:
  std::ifstream in_;
  std::uint64_t size_ = 0;
};

// A dictzip file (gzip whose header carries a table of independently packed chunks, the "RA"
// extra field) read by random access: only the chunks a read touches are unpacked, and the
// last one is kept for the next read, which in a dictionary usually follows it.
class DictzipReader {
 public:
  DictzipReader();
  ~DictzipReader();
  DictzipReader(const DictzipReader&) = delete;
  DictzipReader& operator=(const DictzipReader&) = delete;

  // Reads and checks the header and the chunk table. False with the reason when the data is
  // not dictzip or the table does not fit the file.
  bool Open(std::unique_ptr<ByteSource> source, std::string& error);

  // Says that the reads to come go through the text front to back (as the readers take
  // definitions, by offset): from now on a second thread unpacks the chunks, in order, a few
  // ahead of the reads, so that unpacking and the caller's work on the text overlap. Reads in
  // any other order still give the same bytes and errors: an earlier chunk is unpacked when
  // asked for, as without.
  void ReadAhead();

  // The size of the whole text unpacked.
  std::uint64_t size() const { return size_; }

  // The unpacked bytes [offset, offset + length) into `out`; false with the reason when the
  // range lies past the end or a chunk is damaged.
  bool Read(std::uint64_t offset, std::uint64_t length, std::string& out, std::string& error);

 private:
  bool LoadChunk(std::size_t index, std::string& error);
  // Unpacks chunk `index` into `out` (packed bytes read through `packed`).
  bool Unpack(std::size_t index, std::string& packed, std::string& out, std::string& error);
  void StopReadingAhead();

  struct Ahead;  // the thread that unpacks ahead, and what it has unpacked
  std::unique_ptr<Ahead> ahead_;
  std::unique_ptr<ByteSource> source_;
  std::uint32_t chunkLength_ = 0;
  std::vector<std::uint64_t> chunkStart_;  // offset of each chunk's packed bytes, then the end
  std::uint64_t size_ = 0;
  std::size_t cachedIndex_ = SIZE_MAX;
  std::string cached_;
  std::string packed_;
};

}  // namespace kelvara::import
