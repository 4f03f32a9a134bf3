// The file side of the dictionary, one implementation per platform (File_posix.cpp,
// File_win.cpp): read a file whole while holding it against writers, and replace a file at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Dictionary.h"

namespace kelvara {

// Keeps a file open so that nobody can write it (Windows: shared for reading only; POSIX: a
// shared flock, which writers that use the same convention respect). Closes on destruction.
class FileLock {
 public:
  explicit FileLock(std::intptr_t handle) : handle_(handle) {}
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  std::intptr_t handle_;
};

struct ReadFileResult {
  std::unique_ptr<FileLock> lock;
  std::unique_ptr<std::uint8_t[]> bytes;  // not zeroed first: the file fills it
  std::size_t size = 0;
  DictError error = DictError::None;  // Missing, Unreadable or Locked
  std::string message;
};

// Files larger than this are not dictionaries this program can hold.
inline constexpr std::uint64_t kMaxDictionaryFileSize = std::uint64_t{1} << 31;

ReadFileResult ReadAndHoldFile(const std::filesystem::path& file);

// Writes `bytes` to a temporary file beside `target`, flushes it and renames it over `target`,
// so that `target` is either the old file or the whole new one. Refuses, leaving everything as
// it was, when another program holds `target`. Returns an English sentence on failure, "" on
// success.
std::string ReplaceFileContents(const std::filesystem::path& target,
                                std::span<const std::uint8_t> bytes);

// The path as UTF-8, for messages.
std::string PathForMessage(const std::filesystem::path& file);

}  // namespace kelvara
