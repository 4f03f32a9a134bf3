// Any bytes as the decrypted table of an authentic format version 1 file (sealed here with the
// real password): the part of the reader that authentication alone cannot protect. The input's
// first byte splits it into the table and a word to look up. Version 2: fuzz_blocks.cpp.
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
  Sealer() : SealingKey(format::kVersion1) {}
  std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> payload) const {
    std::vector<std::uint8_t> file = header;
    format::StoreU64(&file[format::kOffPayloadSize], payload.size());
    format::StoreU32(&file[format::kOffHeaderCrc], format::Crc32(std::span(file).first(format::kOffHeaderCrc)));
    file.resize(format::kHeaderSize + payload.size() + format::kTagSize);
    const std::span<std::uint8_t> all(file);
    crypto::AesGcmSeal(key, all.subspan(format::kOffNonce, crypto::kNonceSize), all.first(format::kHeaderSize),
                       payload, all.subspan(format::kHeaderSize, payload.size()),
                       all.subspan(format::kHeaderSize + payload.size()).first<format::kTagSize>());
    return file;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Sealer sealer;
  if (size == 0) return 0;
  const std::size_t wordSize = std::min<std::size_t>(data[0] % 16, size - 1);
  const std::string_view word(reinterpret_cast<const char*>(data + 1), wordSize);
  const std::span<const std::uint8_t> table(data + 1 + wordSize, size - 1 - wordSize);

  const OpenResult opened = Dictionary::FromBytes(sealer.Seal(table));
  if (!opened.dict) {
    if (opened.error == DictError::None) __builtin_trap();
    return 0;
  }
  const Dictionary& dict = *opened.dict;
  const SearchResult result = SearchWords(dict, word);
  for (std::size_t i = 0; i < result.matches.size(); ++i) {
    if (result.matches.Headword(i) != dict.English(result.matches.Row(i))) __builtin_trap();
    (void)result.matches.Meaning(i);
  }
  for (std::size_t row = 0; row < dict.size(); ++row) {
    for (std::size_t c = 0; c < dict.ColumnCount(); ++c) (void)dict.Cell(row, c);
  }
  return 0;
}
