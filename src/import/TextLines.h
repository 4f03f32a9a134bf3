// Text files read a line at a time, whatever their encoding (UTF-8, UTF-16LE or UTF-16BE, with or
// without a byte order mark), so that a huge file or a huge line is never held whole twice: the
// DSL and the tab/CSV readers share it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kelvara::import {

// No dictionary line is anywhere near this long; a longer one is damage (or a file that is not
// text), refused before it is read whole.
inline constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

enum class TextEncoding { Utf8, Utf16Le, Utf16Be };

class TextLines {
 public:
  // Over bytes that outlive the reader (a file unpacked in memory, a fuzzer's input).
  TextLines(std::string_view bytes, std::string name);
  // Over a file, read in chunks. Check ok() / error() before the first line.
  TextLines(const std::filesystem::path& file, std::string name);
  // Over any reader that appends up to `want` bytes to `chunk`: false with `error` set on a
  // failure, false with nothing appended at the end. `total` is for progress only.
  using Pull = std::function<bool(std::string& chunk, std::size_t want, std::string& error)>;
  TextLines(Pull pull, std::uint64_t total, std::string name);

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  TextEncoding encoding() const { return encoding_; }
  bool hadByteOrderMark() const { return bom_; }

  // The next line as UTF-8 without its line end (LF, CR LF or a lone CR). False at the end of
  // the text or on an error (then error() says which line and why).
  bool Next(std::string& line);
  // 1-based number of the line Next gave last.
  std::uint64_t lineNumber() const { return line_; }
  // Raw bytes consumed so far and in all, for progress.
  std::uint64_t bytesDone() const { return consumed_; }
  std::uint64_t bytesTotal() const { return total_; }

 private:
  bool Fill();  // more raw bytes into buf_; false at the end of the input
  void Detect();
  bool Fail(std::string why);

  std::string name_;
  std::string_view memory_;
  std::unique_ptr<std::ifstream> file_;
  Pull pull_;
  std::string buf_;       // raw bytes not yet consumed, from pos_
  std::size_t pos_ = 0;
  bool eof_ = false;
  TextEncoding encoding_ = TextEncoding::Utf8;
  bool bom_ = false;
  bool detected_ = false;
  std::uint64_t line_ = 0;
  std::uint64_t consumed_ = 0;
  std::uint64_t total_ = 0;
  std::string error_;
};

}  // namespace kelvara::import
