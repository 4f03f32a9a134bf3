#include "Format.h"

#include <algorithm>
#include <array>

#include "CaseFold.h"
#include "Utf8.h"

namespace kelvara::format {
namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr auto kCrcTable = MakeCrcTable();

// The table's name and its column names, which both versions begin with.
std::string DecodeTableShape(Decoder& d, std::string& tableName, std::vector<std::string>& columnNames) {
  std::uint32_t columns = 0;
  if (!d.String(tableName) || !d.U32(columns)) return "its table description is cut short";
  if (columns < 2 || columns > kMaxColumns) return "its table has " + std::to_string(columns) + " columns";
  columnNames.resize(columns);
  for (std::string& name : columnNames) {
    if (!d.String(name)) return "its column names are cut short";
  }
  return {};
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) c = kCrcTable[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

bool DeriveFileKey(std::string_view password, std::span<const std::uint8_t> salt,
                   std::uint32_t iterations, crypto::Key& key, KeyCheck& check) {
  if (!crypto::Pbkdf2Sha256(password, salt, iterations, key)) return false;
  std::vector<std::uint8_t> labelled(kKeyCheckLabel.begin(), kKeyCheckLabel.end());
  labelled.insert(labelled.end(), key.begin(), key.end());
  crypto::Digest digest;
  const bool ok = crypto::Sha256(labelled, digest);
  std::fill(labelled.begin(), labelled.end(), std::uint8_t{0});
  std::copy_n(digest.begin(), check.size(), check.begin());
  return ok;
}

std::array<std::uint8_t, crypto::kNonceSize> BlockNonce(std::span<const std::uint8_t> fileNonce,
                                                        std::uint64_t block) {
  std::array<std::uint8_t, crypto::kNonceSize> nonce{};
  std::copy_n(fileNonce.begin(), std::min(fileNonce.size(), nonce.size()), nonce.begin());
  for (std::size_t i = 0; i < 8; ++i) {
    nonce[crypto::kNonceSize - 8 + i] ^= static_cast<std::uint8_t>(block >> (8 * i));
  }
  return nonce;
}

std::uint64_t FoldedHead(std::string_view text) {
  // Most headwords begin with eight ASCII bytes (or are shorter and all ASCII): those fold as
  // one word, 'A' to 'Z' gaining the 0x20 bit.
  const std::size_t n = std::min<std::size_t>(text.size(), 8);
  std::uint8_t first[8] = {};
  std::memcpy(first, text.data(), n);
  const std::uint64_t word = LoadU64(first);
  constexpr std::uint64_t kOnes = 0x0101010101010101, kHigh = 0x8080808080808080;
  if ((word & kHigh) == 0) {
    // Bytes below 0x80: adding 0x80 - c sets a byte's high bit exactly when it is >= c.
    const std::uint64_t upper = (word + (0x80 - 'A') * kOnes) & ~(word + (0x80 - 'Z' - 1) * kOnes) & kHigh;
    const std::uint64_t folded = word | (upper >> 2);
    std::uint64_t head = 0;
    for (int i = 0; i < 8; ++i) head = (head << 8) | ((folded >> (8 * i)) & 0xFF);
    return head;
  }
  std::uint64_t head = 0;
  std::size_t bytes = 0;
  const char* p = text.data();
  const char* const limit = p + text.size();
  while (bytes < 8 && p < limit) {
    const char32_t folded = NextFolded(p, limit);
    if (folded < 0x80) {
      head = (head << 8) | folded;
      ++bytes;
      continue;
    }
    std::string encoded;
    utf8::Append(encoded, folded);
    for (std::size_t k = 0; k < encoded.size() && bytes < 8; ++k, ++bytes) {
      head = (head << 8) | static_cast<unsigned char>(encoded[k]);
    }
  }
  return bytes == 0 ? 0 : head << (8 * (8 - bytes));
}

std::string DecodeDirectory(std::span<const std::uint8_t> bytes, std::uint64_t firstBlockAt,
                            std::uint64_t fileSize, Directory& out) {
  Decoder d(bytes.data(), bytes.data() + bytes.size());
  if (std::string problem = DecodeTableShape(d, out.tableName, out.columnNames); !problem.empty()) return problem;
  std::uint32_t headBlocks = 0, meaningBlocks = 0;
  if (!d.U32(out.rowCount) || !d.U32(out.headwordsPerBlock) || !d.U32(headBlocks) ||
      !d.U32(meaningBlocks)) {
    return "its directory is cut short";
  }
  const std::uint32_t perBlock = out.headwordsPerBlock;
  if (perBlock == 0 || perBlock > kMaxHeadwordsPerBlock ||
      headBlocks != (std::uint64_t{out.rowCount} + perBlock - 1) / perBlock ||
      meaningBlocks > out.rowCount || (meaningBlocks == 0) != (out.rowCount == 0)) {
    return "its directory counts blocks that do not fit its rows";
  }
  if (d.remaining() != std::uint64_t{headBlocks} * kHeadwordBlockEntry +
                           std::uint64_t{meaningBlocks} * kMeaningBlockEntry) {
    return "its directory has the wrong size for its blocks";
  }
  out.headwordHeads.resize(headBlocks);
  out.meaningFirstRows.resize(meaningBlocks);
  out.blockOffsets.resize(std::size_t{headBlocks} + meaningBlocks);
  out.blockSizes.resize(out.blockOffsets.size());
  std::uint64_t at = firstBlockAt;
  auto place = [&](std::size_t block, std::uint32_t size) {
    out.blockOffsets[block] = at;
    out.blockSizes[block] = size;
    at += size;
    return size >= kTagSize && at <= fileSize;
  };
  for (std::uint32_t b = 0; b < headBlocks; ++b) {
    const std::uint8_t* entry = nullptr;
    if (!d.Bytes(kHeadwordBlockEntry, entry)) return "its directory is cut short";
    out.headwordHeads[b] = LoadU64(entry);
    if (b > 0 && out.headwordHeads[b] < out.headwordHeads[b - 1]) return "its headword blocks are out of order";
    if (!place(b, LoadU32(entry + 8))) return "its headword blocks lie outside the file";
  }
  for (std::uint32_t b = 0; b < meaningBlocks; ++b) {
    const std::uint8_t* entry = nullptr;
    if (!d.Bytes(kMeaningBlockEntry, entry)) return "its directory is cut short";
    const std::uint32_t first = LoadU32(entry);
    if (b == 0 ? first != 0 : first <= out.meaningFirstRows[b - 1] || first >= out.rowCount) {
      return "its meaning blocks do not cover the rows in order";
    }
    out.meaningFirstRows[b] = first;
    if (!place(headBlocks + b, LoadU32(entry + 4))) return "its meaning blocks lie outside the file";
  }
  if (at != fileSize) return "its blocks do not fill the file";
  return {};
}

std::string DecodePayload(std::span<const std::uint8_t> bytes, Payload& out) {
  Decoder d(bytes.data(), bytes.data() + bytes.size());
  if (std::string problem = DecodeTableShape(d, out.tableName, out.columnNames); !problem.empty()) return problem;
  const auto columns = static_cast<std::uint32_t>(out.columnNames.size());
  std::uint32_t textSize = 0;
  if (!d.U32(out.rowCount) || !d.U32(textSize)) return "its row count is missing";
  const std::uint64_t cells = std::uint64_t{out.rowCount} * columns;
  if (cells > d.remaining() / 4 || !d.U32Array(static_cast<std::size_t>(cells), out.cellEnds)) {
    return "its cell table is longer than the file";
  }
  std::uint32_t previous = 0;
  for (std::size_t i = 0; i < out.cellEnds.size(); ++i) {
    const std::uint32_t end = out.cellEnds[i];
    if (end < previous || end > textSize) return "its cell table points outside the text";
    previous = end;
  }
  if (previous != textSize) return "its text is longer than its cells";
  const std::uint8_t* text;
  if (!d.Bytes(textSize, text)) return "its text is longer than the file";
  out.textOffset = static_cast<std::size_t>(text - bytes.data());
  out.textSize = textSize;
  if (!d.U32Array(out.rowCount, out.sorted)) return "its index is cut short";
  if (d.remaining() != 0) return "it has bytes after its index";
  std::vector<bool> seen(out.rowCount, false);
  for (std::size_t i = 0; i < out.sorted.size(); ++i) {
    const std::uint32_t row = out.sorted[i];
    if (row >= out.rowCount || seen[row]) return "its index does not list every row once";
    seen[row] = true;
  }
  return {};
}

}  // namespace kelvara::format
