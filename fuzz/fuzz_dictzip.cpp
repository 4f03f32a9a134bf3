// Any bytes as gzip and as dictzip: unpacking whole and reading ranges by random access agree
// wherever both succeed, and every failure is named. A reader that unpacks ahead on a second
// thread gives the same bytes and the same failures.
#include <cstddef>
#include <cstdint>
#include <string>

#include "import/Gzip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara::import;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string whole, error;
  const bool unpacked = GunzipWhole(bytes, whole, error, 64u << 20);
  if (!unpacked && error.empty()) __builtin_trap();
  DictzipReader reader, ahead;
  error.clear();
  if (!reader.Open(std::make_unique<MemorySource>(bytes), error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  std::string aheadError;
  if (!ahead.Open(std::make_unique<MemorySource>(bytes), aheadError)) __builtin_trap();
  ahead.ReadAhead();
  // Ranges across the text: the start, the end, and pieces around chunk boundaries.
  const std::uint64_t total = reader.size();
  std::string piece, aheadPiece;
  for (std::uint64_t offset = 0; offset < total && offset < (16u << 20); offset += total / 7 + 1) {
    const std::uint64_t length = std::min<std::uint64_t>(total - offset, 70000);
    error.clear();
    aheadError.clear();
    const bool read = reader.Read(offset, length, piece, error);
    if (ahead.Read(offset, length, aheadPiece, aheadError) != read || aheadError != error) __builtin_trap();
    if (!read) {
      if (error.empty()) __builtin_trap();
      continue;
    }
    if (aheadPiece != piece) __builtin_trap();
    if (piece.size() != length) __builtin_trap();
    // One gzip member with no bytes after it unpacks to the same text both ways.
    if (unpacked && whole.size() == total && whole.compare(offset, length, piece) != 0) __builtin_trap();
  }
  if (reader.Read(total, 1, piece, error)) __builtin_trap();  // past the end is refused
  return 0;
}
