// The file side of the dictionary, one implementation per platform (File_posix.cpp,
// File_win.cpp): map a file while holding it against writers, and replace a file at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Dictionary.h"

namespace kelvara {

// Files larger than this are not dictionaries this program can hold.
inline constexpr std::uint64_t kMaxDictionaryFileSize = std::uint64_t{1} << 31;

// A file mapped into memory for reading, kept open so that nobody can write it meanwhile
// (Windows: shared for reading only; POSIX: a shared flock, which writers that use the same
// convention respect). Pages are read from the file when first touched and, being the file's,
// count as no private memory. Unmaps and closes on destruction.
class MappedFile {
 public:
  MappedFile(std::intptr_t file, std::intptr_t mapping, const std::uint8_t* data, std::size_t size)
      : file_(file), mapping_(mapping), data_(data), size_(size) {}
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

 private:
  std::intptr_t file_;
  [[maybe_unused]] std::intptr_t mapping_;  // Windows: the section; unused elsewhere
  const std::uint8_t* data_;
  std::size_t size_;
};

struct MapFileResult {
  std::unique_ptr<MappedFile> file;
  DictError error = DictError::None;  // Missing, Unreadable or Locked
  std::string message;
};

MapFileResult MapAndHoldFile(const std::filesystem::path& file);

// A new file built beside `target` a piece at a time and put in its place at once: Commit
// flushes it and renames it over `target`, so that `target` is either the old file or the whole
// new one. Dropped without a Commit, or after any failure, the new file is removed and `target`
// is as it was. Open refuses, leaving everything as it was, when another program holds `target`;
// from then until Commit nobody else can open it for reading. Each call returns an English
// sentence on failure, "" on success; after a failure the file is gone and calls fail.
class ReplacementFile {
 public:
  ReplacementFile();
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  std::string Open(const std::filesystem::path& target);
  std::string WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  std::string Commit();
  void Abandon();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Writes `bytes` to a temporary file beside `target`, flushes it and renames it over `target`,
// so that `target` is either the old file or the whole new one. Refuses, leaving everything as
// it was, when another program holds `target`. Returns an English sentence on failure, "" on
// success.
inline std::string ReplaceFileContents(const std::filesystem::path& target,
                                       std::span<const std::uint8_t> bytes) {
  ReplacementFile file;
  if (std::string failed = file.Open(target); !failed.empty()) return failed;
  if (std::string failed = file.WriteAt(0, bytes); !failed.empty()) return failed;
  return file.Commit();
}

// The path as UTF-8, for messages.
std::string PathForMessage(const std::filesystem::path& file);

}  // namespace kelvara
