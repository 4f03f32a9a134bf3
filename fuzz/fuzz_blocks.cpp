// Any bytes as the decrypted directory and blocks of an authentic format version 2 file (sealed
// here with the real password): the checks that authentication alone cannot replace. Input: a
// byte giving the word's length (mod 16), the word, then parts, each a little-endian u16 length
// and its bytes; the first part is the directory.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "SealingKey.h"
#include "lookup/SearchWords.h"

namespace {

using namespace kelvara;

// The key is derived once; every input is sealed with it as the writer seals a file.
struct Sealer : SealingKey {
  Sealer() : SealingKey(format::kVersion2) {}
  std::vector<std::uint8_t> Seal(const std::vector<std::span<const std::uint8_t>>& parts) const {
    std::vector<std::uint8_t> file = header;
    std::size_t total = format::kHeaderSize;
    for (const auto& part : parts) total += part.size() + format::kTagSize;
    format::StoreU64(&file[format::kOffFileSize], total);
    format::StoreU32(&file[format::kOffDirectorySize], static_cast<std::uint32_t>(parts[0].size()));
    format::StoreU32(&file[format::kOffHeaderCrc], format::Crc32(std::span(file).first(format::kOffHeaderCrc)));
    file.resize(total);
    const std::span<std::uint8_t> all(file);
    std::size_t at = format::kHeaderSize;
    for (std::size_t n = 0; n < parts.size(); ++n) {
      const auto nonce = format::BlockNonce(all.subspan(format::kOffNonce, crypto::kNonceSize), n);
      crypto::AesGcmSeal(key, nonce, all.first(format::kHeaderSize), parts[n], all.subspan(at, parts[n].size()),
                         all.subspan(at + parts[n].size()).first<format::kTagSize>());
      at += parts[n].size() + format::kTagSize;
    }
    return file;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Sealer sealer;
  if (size == 0) return 0;
  const std::size_t wordSize = std::min<std::size_t>(data[0] % 16, size - 1);
  const std::string_view word(reinterpret_cast<const char*>(data + 1), wordSize);
  std::vector<std::span<const std::uint8_t>> parts;
  for (std::size_t at = 1 + wordSize; at + 2 <= size && parts.size() < 256;) {
    const std::size_t n = std::min<std::size_t>(format::LoadU16(data + at), size - at - 2);
    parts.emplace_back(data + at + 2, n);
    at += 2 + n;
  }
  if (parts.empty()) return 0;

  const OpenResult opened = Dictionary::FromBytes(sealer.Seal(parts));
  if (!opened.dict) {
    if (opened.error == DictError::None || opened.message.empty()) __builtin_trap();
    return 0;
  }
  const Dictionary& dict = *opened.dict;
  const SearchResult result = SearchWords(dict, word);
  for (std::size_t i = 0; i < result.matches.size() && i < 256; ++i) {
    if (result.matches.Headword(i) != dict.English(result.matches.Row(i))) __builtin_trap();
    (void)result.matches.Meaning(i);
  }
  (void)dict.CheckAllBlocks();
  for (std::size_t row = 0; row < dict.size() && row < 256; ++row) {
    for (std::size_t c = 0; c < dict.ColumnCount(); ++c) (void)dict.Cell(row, c);
  }
  return 0;
}
