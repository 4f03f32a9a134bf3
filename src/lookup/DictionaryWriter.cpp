#include "DictionaryWriter.h"

#include <algorithm>
#include <numeric>

#include "CaseFold.h"
#include "Crypto.h"
#include "FileAccess.h"
#include "Format.h"
#include "Utf8.h"

namespace kelvara {
namespace {

void AppendString(std::vector<std::uint8_t>& out, std::string_view s) {
  format::AppendU32(out, static_cast<std::uint32_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}

}  // namespace

std::string CheckRow(const WordRow& row) {
  if (row.empty() || row[0].empty()) return "the headword is empty";
  // An invisible mark that a dump would write at the very start of its text, where it reads as
  // the text's byte order mark: usually the trace of files joined together.
  if (row[0].starts_with("\xEF\xBB\xBF")) return "the headword begins with a byte order mark (U+FEFF)";
  for (std::size_t c = 0; c < row.size(); ++c) {
    const std::string_view cell = row[c];
    const std::string column = c == 0 ? "the headword" : "column " + std::to_string(c + 1);
    if (!utf8::IsValid(cell)) return column + " is not valid UTF-8";
    if (cell.find('\0') != std::string_view::npos) return column + " contains a NUL character";
    if (cell.find('\t') != std::string_view::npos) return column + " contains a tab";
    if (c == 0) {
      if (cell.find_first_of("\r\n") != std::string_view::npos) return column + " contains a line break";
      continue;
    }
    // The meaning box breaks lines at CR LF, so imported meanings keep theirs; a lone CR or LF
    // is the trace of a broken conversion.
    for (std::size_t i = cell.find_first_of("\r\n"); i != std::string_view::npos;
         i = cell.find_first_of("\r\n", i + 2)) {
      if (cell[i] != '\r' || i + 1 >= cell.size() || cell[i + 1] != '\n') {
        return column + " contains a line break that is not CR LF";
      }
    }
  }
  return {};
}

namespace {

// Header fields both versions share; the caller fills bytes 64 to 75 and the CRC. Derives the key.
std::string StartHeader(std::vector<std::uint8_t>& out, std::uint16_t version,
                        const WriteOptions& options, crypto::Key& key) {
  using namespace format;
  std::copy(kMagic.begin(), kMagic.end(), out.begin());
  StoreU16(&out[kOffVersion], version);
  StoreU16(&out[kOffHeaderSize], static_cast<std::uint16_t>(kHeaderSize));
  StoreU32(&out[kOffIterations], options.kdfIterations);
  const std::span<std::uint8_t> salt(&out[kOffSalt], kSaltSize);
  const std::span<std::uint8_t> nonce(&out[kOffNonce], crypto::kNonceSize);
  if (options.saltAndNonce) {
    if (options.saltAndNonce->size() != salt.size() + nonce.size()) return "a fixed salt and nonce must be 28 bytes";
    std::copy_n(options.saltAndNonce->begin(), salt.size(), salt.begin());
    std::copy_n(options.saltAndNonce->begin() + static_cast<std::ptrdiff_t>(salt.size()),
                nonce.size(), nonce.begin());
  } else if (!crypto::RandomBytes(salt) || !crypto::RandomBytes(nonce)) {
    return "the system's random number generator failed";
  }
  KeyCheck check;
  if (!DeriveFileKey(options.password, salt, options.kdfIterations, key, check)) {
    return "the system's cryptography failed";
  }
  std::copy(check.begin(), check.end(), &out[kOffKeyCheck]);
  return {};
}

std::string ColumnName(std::size_t c) {
  return c == 0   ? std::string(format::kHeadwordColumn)
         : c == 1 ? std::string(format::kMeaningColumn)
                  : "Column" + std::to_string(c + 1);
}

std::string EncodeV1(std::span<const WordRow> rows, std::size_t columns, std::uint64_t textSize,
                     const std::vector<std::uint32_t>& sorted, const WriteOptions& options,
                     std::vector<std::uint8_t>& out) {
  using namespace format;
  const std::uint64_t cells = std::uint64_t{rows.size()} * columns;
  std::vector<std::uint8_t> payload;
  payload.reserve(static_cast<std::size_t>(textSize + cells * 4 + rows.size() * 4 + 256));
  AppendString(payload, kTableName);
  AppendU32(payload, static_cast<std::uint32_t>(columns));
  for (std::size_t c = 0; c < columns; ++c) AppendString(payload, ColumnName(c));
  AppendU32(payload, static_cast<std::uint32_t>(rows.size()));
  AppendU32(payload, static_cast<std::uint32_t>(textSize));
  // Column by column: the headwords lie together, which is what opening reads.
  std::uint32_t end = 0;
  for (std::size_t c = 0; c < columns; ++c) {
    for (const WordRow& row : rows) {
      if (c < row.size()) end += static_cast<std::uint32_t>(row[c].size());
      AppendU32(payload, end);
    }
  }
  for (std::size_t c = 0; c < columns; ++c) {
    for (const WordRow& row : rows) {
      if (c < row.size()) payload.insert(payload.end(), row[c].begin(), row[c].end());
    }
  }
  for (std::uint32_t row : sorted) AppendU32(payload, row);

  out.assign(kHeaderSize + payload.size() + kTagSize, 0);
  crypto::Key key;
  if (std::string problem = StartHeader(out, kVersion1, options, key); !problem.empty()) return problem;
  StoreU64(&out[kOffPayloadSize], payload.size());
  StoreU32(&out[kOffHeaderCrc], Crc32(std::span(out).first(kOffHeaderCrc)));
  const std::span<std::uint8_t> all(out);
  const bool sealed =
      crypto::AesGcmSeal(key, all.subspan(kOffNonce, crypto::kNonceSize), all.first(kHeaderSize), payload,
                         all.subspan(kHeaderSize, payload.size()),
                         all.subspan(kHeaderSize + payload.size()).first<kTagSize>());
  std::fill(key.begin(), key.end(), std::uint8_t{0});
  return sealed ? "" : "the system's cryptography failed";
}

// Version 2: the header, the sealed directory, then every block sealed on its own (headword
// blocks of a fixed count of index positions, then meaning blocks of about a target size), rows
// in index order. Sizes are planned first, so each block is sealed straight into the output.
std::string EncodeV2(std::span<const WordRow> rows, std::size_t columns,
                     const std::vector<std::uint32_t>& sorted, const WriteOptions& options,
                     std::vector<std::uint8_t>& out) {
  using namespace format;
  const std::size_t perBlock = options.headwordsPerBlock;
  if (perBlock == 0 || perBlock > kMaxHeadwordsPerBlock) return "the headword block size is out of range";
  const std::size_t count = rows.size();
  auto cellSize = [&](std::size_t position, std::size_t c) -> std::uint64_t {
    const WordRow& row = rows[sorted[position]];
    return c < row.size() ? row[c].size() : 0;
  };

  std::vector<std::uint64_t> heads, headSizes;
  for (std::size_t first = 0; first < count; first += perBlock) {
    const std::size_t last = std::min(count, first + perBlock);
    std::uint64_t size = 4 * (last - first);
    for (std::size_t i = first; i < last; ++i) size += cellSize(i, 0);
    heads.push_back(FoldedHead(rows[sorted[first]][0]));
    headSizes.push_back(size);
  }
  std::uint64_t meaningBytes = 0;
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t c = 1; c < columns; ++c) meaningBytes += 4 + cellSize(i, c);
  }
  const std::size_t target = options.meaningBlockTarget != 0 ? options.meaningBlockTarget
                                                             : MeaningBlockTarget(meaningBytes);
  std::vector<std::uint32_t> meaningFirsts;
  std::vector<std::uint64_t> meaningSizes;
  for (std::size_t i = 0; i < count; ++i) {
    if (meaningFirsts.empty() || meaningSizes.back() >= target) {
      meaningFirsts.push_back(static_cast<std::uint32_t>(i));
      meaningSizes.push_back(0);
    }
    for (std::size_t c = 1; c < columns; ++c) meaningSizes.back() += 4 + cellSize(i, c);
  }

  std::vector<std::uint8_t> dir;
  AppendString(dir, kTableName);
  AppendU32(dir, static_cast<std::uint32_t>(columns));
  for (std::size_t c = 0; c < columns; ++c) AppendString(dir, ColumnName(c));
  AppendU32(dir, static_cast<std::uint32_t>(count));
  AppendU32(dir, static_cast<std::uint32_t>(perBlock));
  AppendU32(dir, static_cast<std::uint32_t>(heads.size()));
  AppendU32(dir, static_cast<std::uint32_t>(meaningFirsts.size()));
  std::uint64_t total = kHeaderSize + dir.size() + kTagSize;
  auto addBlock = [&](std::uint64_t plainSize) {
    total += plainSize + kTagSize;
    return plainSize + kTagSize <= UINT32_MAX;
  };
  for (std::size_t b = 0; b < heads.size(); ++b) {
    if (!addBlock(headSizes[b])) return "a block is too large";
    const std::size_t at = dir.size();
    dir.resize(at + kHeadwordBlockEntry);
    StoreU64(&dir[at], heads[b]);
    StoreU32(&dir[at + 8], static_cast<std::uint32_t>(headSizes[b] + kTagSize));
  }
  for (std::size_t m = 0; m < meaningFirsts.size(); ++m) {
    if (!addBlock(meaningSizes[m])) return "a block is too large";
    AppendU32(dir, meaningFirsts[m]);
    AppendU32(dir, static_cast<std::uint32_t>(meaningSizes[m] + kTagSize));
  }
  total += kHeadwordBlockEntry * heads.size() + kMeaningBlockEntry * meaningFirsts.size();
  if (total > kMaxDictionaryFileSize) return "the table is too large for one dictionary file";

  out.assign(static_cast<std::size_t>(total), 0);
  crypto::Key key;
  if (std::string problem = StartHeader(out, kVersion2, options, key); !problem.empty()) return problem;
  StoreU64(&out[kOffFileSize], total);
  StoreU32(&out[kOffDirectorySize], static_cast<std::uint32_t>(dir.size()));
  StoreU32(&out[kOffHeaderCrc], Crc32(std::span(out).first(kOffHeaderCrc)));

  const std::span<std::uint8_t> all(out);
  std::size_t at = kHeaderSize;
  std::uint64_t number = 0;
  bool sealed = true;
  auto seal = [&](const std::vector<std::uint8_t>& plain) {
    const auto nonce = BlockNonce(all.subspan(kOffNonce, crypto::kNonceSize), number++);
    sealed = sealed && crypto::AesGcmSeal(key, nonce, all.first(kHeaderSize), plain,
                                          all.subspan(at, plain.size()),
                                          all.subspan(at + plain.size()).first<kTagSize>());
    at += plain.size() + kTagSize;
  };
  seal(dir);
  std::vector<std::uint8_t> plain;
  for (std::size_t first = 0; first < count; first += perBlock) {
    const std::size_t last = std::min(count, first + perBlock);
    plain.clear();
    std::uint32_t end = 0;
    for (std::size_t i = first; i < last; ++i) AppendU32(plain, end += static_cast<std::uint32_t>(cellSize(i, 0)));
    for (std::size_t i = first; i < last; ++i) {
      const std::string& word = rows[sorted[i]][0];
      plain.insert(plain.end(), word.begin(), word.end());
    }
    seal(plain);
  }
  for (std::size_t m = 0; m < meaningFirsts.size(); ++m) {
    const std::size_t first = meaningFirsts[m];
    const std::size_t last = m + 1 < meaningFirsts.size() ? meaningFirsts[m + 1] : count;
    plain.clear();
    std::uint32_t end = 0;
    for (std::size_t i = first; i < last; ++i) {
      for (std::size_t c = 1; c < columns; ++c) AppendU32(plain, end += static_cast<std::uint32_t>(cellSize(i, c)));
    }
    for (std::size_t i = first; i < last; ++i) {
      const WordRow& row = rows[sorted[i]];
      for (std::size_t c = 1; c < row.size(); ++c) plain.insert(plain.end(), row[c].begin(), row[c].end());
    }
    seal(plain);
  }
  std::fill(key.begin(), key.end(), std::uint8_t{0});
  return sealed ? "" : "the system's cryptography failed";
}

}  // namespace

EncodeResult SealVersion2(std::span<const std::vector<std::uint8_t>> parts, const WriteOptions& options) {
  using namespace format;
  EncodeResult result;
  std::uint64_t total = kHeaderSize;
  for (const auto& part : parts) total += part.size() + kTagSize;
  if (parts.empty() || total > kMaxDictionaryFileSize) {
    result.error = "nothing to seal, or too much";
    return result;
  }
  std::vector<std::uint8_t>& out = result.bytes;
  out.assign(static_cast<std::size_t>(total), 0);
  crypto::Key key;
  result.error = StartHeader(out, kVersion2, options, key);
  StoreU64(&out[kOffFileSize], total);
  StoreU32(&out[kOffDirectorySize], static_cast<std::uint32_t>(parts[0].size()));
  StoreU32(&out[kOffHeaderCrc], Crc32(std::span(out).first(kOffHeaderCrc)));
  const std::span<std::uint8_t> all(out);
  std::size_t at = kHeaderSize;
  for (std::size_t n = 0; n < parts.size() && result.error.empty(); ++n) {
    const auto nonce = BlockNonce(all.subspan(kOffNonce, crypto::kNonceSize), n);
    if (!crypto::AesGcmSeal(key, nonce, all.first(kHeaderSize), parts[n], all.subspan(at, parts[n].size()),
                            all.subspan(at + parts[n].size()).first<kTagSize>())) {
      result.error = "the system's cryptography failed";
    }
    at += parts[n].size() + kTagSize;
  }
  std::fill(key.begin(), key.end(), std::uint8_t{0});
  if (!result.error.empty()) result.bytes.clear();
  return result;
}

EncodeResult EncodeDictionary(std::span<const WordRow> rows, const WriteOptions& options) {
  using namespace format;
  EncodeResult result;
  if (options.kdfIterations < kMinIterations || options.kdfIterations > kMaxIterations) {
    result.error = "the key derivation's iteration count is out of range";
    return result;
  }
  if (options.formatVersion != kVersion1 && options.formatVersion != kVersion2) {
    result.error = "format version " + std::to_string(options.formatVersion) + " cannot be written";
    return result;
  }
  std::size_t columns = 2;
  std::uint64_t textSize = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (std::string problem = CheckRow(rows[r]); !problem.empty()) {
      result.error = "row " + std::to_string(r + 1) + ": " + problem;
      return result;
    }
    columns = std::max(columns, rows[r].size());
    for (const std::string& cell : rows[r]) textSize += cell.size();
  }
  const std::uint64_t cells = std::uint64_t{rows.size()} * columns;
  if (columns > kMaxColumns || textSize > UINT32_MAX ||
      textSize + cells * 4 + rows.size() * 4 > kMaxDictionaryFileSize - 4096) {
    result.error = "the table is too large for one dictionary file";
    return result;
  }

  // The index: rows by folded headword, ties in file order (a stable sort of row numbers).
  std::vector<std::uint32_t> sorted(rows.size());
  {
    std::vector<std::string> folded(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) AppendFolded(rows[r][0], folded[r], true);
    std::iota(sorted.begin(), sorted.end(), 0u);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return folded[a] < folded[b]; });
  }
  result.error = options.formatVersion == kVersion1
                     ? EncodeV1(rows, columns, textSize, sorted, options, result.bytes)
                     : EncodeV2(rows, columns, sorted, options, result.bytes);
  if (!result.error.empty()) result.bytes.clear();
  return result;
}

std::string WriteDictionaryFile(const std::filesystem::path& file, std::span<const WordRow> rows,
                                const WriteOptions& options) {
  EncodeResult encoded = EncodeDictionary(rows, options);
  if (!encoded.error.empty()) return "Cannot build " + PathForMessage(file) + ": " + encoded.error + ".";
  return ReplaceFileContents(file, encoded.bytes);
}

}  // namespace kelvara
