// Shared by the StarDict and dictd readers: the definitions file (.dict, or .dict.dz read by
// random access), whole small files, and how files are named in messages.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Gzip.h"

namespace kelvara::import {

// The definitions text, plain or dictzip (told apart by the first bytes).
class DictData {
 public:
  bool Open(std::unique_ptr<ByteSource> source, std::string& error);
  std::uint64_t size() const { return dictzip_ ? dictzip_->size() : plain_->size(); }
  bool Read(std::uint64_t offset, std::uint64_t length, std::string& out, std::string& error);
  // The reads to come go front to back: a .dict.dz is unpacked ahead of them on a second thread.
  void ReadAhead() {
    if (dictzip_) dictzip_->ReadAhead();
  }

 private:
  std::unique_ptr<DictzipReader> dictzip_;
  std::unique_ptr<ByteSource> plain_;
};

// A file's name as messages show it (UTF-8 on every system).
std::string DisplayName(const std::filesystem::path& file);

// The whole file, refused when it holds more than `limit` bytes. False with the reason.
bool ReadWholeFile(const std::filesystem::path& file, std::string& out, std::string& error,
                   std::uint64_t limit);

// A file next to `base` with one of the given extensions added, the first that exists.
std::optional<std::filesystem::path> FindBeside(const std::filesystem::path& base,
                                                std::initializer_list<const char*> extensions);

// A headword as messages quote it: at most 60 bytes, cut at a character boundary.
std::string QuoteWord(std::string_view word);

}  // namespace kelvara::import
