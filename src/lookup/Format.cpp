#include "Format.h"

#include <algorithm>
#include <array>

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

std::string DecodePayload(std::span<const std::uint8_t> bytes, Payload& out) {
  Decoder d(bytes.data(), bytes.data() + bytes.size());
  std::uint32_t columns = 0;
  if (!d.String(out.tableName) || !d.U32(columns)) return "its table description is cut short";
  if (columns < 2 || columns > kMaxColumns) return "its table has " + std::to_string(columns) + " columns";
  out.columnNames.resize(columns);
  for (std::string& name : out.columnNames) {
    if (!d.String(name)) return "its column names are cut short";
  }
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
