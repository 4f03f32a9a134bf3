#include "DictionaryWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>
#include <system_error>
#include <thread>

#include "CaseFold.h"
#include "Crypto.h"
#include "FileAccess.h"
#include "Format.h"
#include "Utf8.h"
#include "WriterParts.h"

namespace kelvara {
namespace {

// CheckRow's checks with their messages, for a row that the quick scan refused.
template <typename CellAt>
std::string DescribeFault(std::size_t count, const CellAt& cellAt) {
  for (std::size_t c = 0; c < count; ++c) {
    const std::string_view cell = cellAt(c);
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

template <typename CellAt>
std::string CheckCellsAt(std::size_t count, const CellAt& cellAt) {
  const std::string_view headword = count > 0 ? cellAt(0) : std::string_view();
  if (headword.empty()) return "the headword is empty";
  // An invisible mark that a dump would write at the very start of its text, where it reads as
  // the text's byte order mark: usually the trace of files joined together.
  if (headword.starts_with("\xEF\xBB\xBF")) return "the headword begins with a byte order mark (U+FEFF)";
  for (std::size_t c = 0; c < count; ++c) {
    if (!CellIsSound(cellAt(c), c == 0)) return DescribeFault(count, cellAt);
  }
  return {};
}

}  // namespace

bool CellIsSound(std::string_view cell, bool headword) {
  const auto* p = reinterpret_cast<const unsigned char*>(cell.data());
  const auto* const end = p + cell.size();
  while (p < end) {
    // Eight bytes at a time, straight to the first that may be a control character or outside
    // ASCII. (A borrow in the subtraction can flag a good byte too, never miss a bad one.)
    while (end - p >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      const std::uint64_t flags = ((w - 0x2020202020202020ull) | w) & 0x8080808080808080ull;
      if (flags != 0) {
        p += (std::endian::native == std::endian::little ? std::countr_zero(flags) : std::countl_zero(flags)) / 8;
        break;
      }
      p += 8;
    }
    if (p == end) break;
    const unsigned char b = *p;
    if (b >= 0xC2 && b <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
      p += 2;  // two bytes (Latin letters with marks, Persian): always valid when well formed
    } else if (b >= 0x80) {
      char32_t cp;
      const std::size_t n = utf8::Decode(reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(end), &cp);
      if (n == 0) return false;
      p += n;
    } else if (b == '\0' || b == '\t' || b == '\n') {
      return false;
    } else if (b == '\r') {
      if (headword || end - p < 2 || p[1] != '\n') return false;
      p += 2;
    } else {
      ++p;
    }
  }
  return true;
}

std::string CheckRow(const WordRow& row) {
  return CheckCellsAt(row.size(), [&](std::size_t c) { return std::string_view(row[c]); });
}

std::string CheckCells(std::string_view headword, std::span<const std::string_view> rest) {
  return CheckCellsAt(rest.size() + 1, [&](std::size_t c) { return c == 0 ? headword : rest[c - 1]; });
}

namespace {

// Tables smaller than this are ordered on one thread: starting a second costs more than it saves.
constexpr std::size_t kRowsForTwoThreads = std::size_t{1} << 16;

// Runs `here` on this thread and `beside` on a second one at once and returns when both are
// done; when no thread can be started, one after the other.
template <typename Here, typename Beside>
void RunBothAtOnce(const Here& here, const Beside& beside) {
  std::thread other;
  try {
    other = std::thread([&beside] { beside(); });
  } catch (const std::system_error&) {
    here();
    beside();
    return;
  }
  here();
  other.join();
}

}  // namespace

std::vector<std::uint32_t> IndexOrder(std::size_t rows,
                                      const std::function<std::string_view(std::size_t)>& headword) {
  // Sorted by the first eight folded bytes, which order as the whole folded texts do, then by
  // row; only the runs whose eight agree are put in order by the whole texts (stably, so equal
  // texts keep their rows' order). A large table is sorted in two halves at once, merged, and
  // its runs put in order in two parts at once.
  struct Key {
    std::uint64_t head;
    std::uint32_t row;
  };
  const auto byHead = [](const Key& a, const Key& b) { return a.head != b.head ? a.head < b.head : a.row < b.row; };
  std::vector<Key> keys(rows);
  const auto at = [&](std::size_t i) { return keys.begin() + static_cast<std::ptrdiff_t>(i); };
  const auto sortPart = [&](std::size_t first, std::size_t last) {
    for (std::size_t r = first; r < last; ++r) {
      // The headwords' text often lies in another order than the rows': fetched a few rows early.
      if (r + 8 < last) __builtin_prefetch(headword(r + 8).data());
      keys[r] = {format::FoldedHead(headword(r)), static_cast<std::uint32_t>(r)};
    }
    std::sort(at(first), at(last), byHead);
  };
  const auto orderRuns = [&](std::size_t first, std::size_t end) {
    while (first < end) {
      std::size_t last = first + 1;
      while (last < end && keys[last].head == keys[first].head) ++last;
      if (last - first > 1) {
        std::stable_sort(at(first), at(last), [&](const Key& a, const Key& b) {
          return CompareFolded(headword(a.row), headword(b.row)) < 0;
        });
      }
      first = last;
    }
  };
  if (rows < kRowsForTwoThreads) {
    sortPart(0, rows);
    orderRuns(0, rows);
  } else {
    const std::size_t half = rows / 2;
    RunBothAtOnce([&] { sortPart(0, half); }, [&] { sortPart(half, rows); });
    std::inplace_merge(keys.begin(), at(half), keys.end(), byHead);
    // The parts meet between two runs.
    std::size_t split = half;
    while (split < rows && keys[split].head == keys[split - 1].head) ++split;
    RunBothAtOnce([&] { orderRuns(0, split); }, [&] { orderRuns(split, rows); });
  }
  std::vector<std::uint32_t> order(rows);
  for (std::size_t i = 0; i < rows; ++i) order[i] = keys[i].row;
  return order;
}

namespace writer {

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

}  // namespace writer

namespace {

using writer::AppendString;
using writer::BlockPlan;
using writer::ColumnName;
using writer::StartHeader;

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

  BlockPlan plan;
  for (std::size_t first = 0; first < count; first += perBlock) {
    const std::size_t last = std::min(count, first + perBlock);
    std::uint64_t size = 4 * (last - first);
    for (std::size_t i = first; i < last; ++i) size += cellSize(i, 0);
    plan.heads.push_back(FoldedHead(rows[sorted[first]][0]));
    plan.headSizes.push_back(size);
  }
  std::vector<std::uint64_t> rowMeaningSizes(count);
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t c = 1; c < columns; ++c) rowMeaningSizes[i] += 4 + cellSize(i, c);
  }
  plan.CutMeaningBlocks(rowMeaningSizes, options.meaningBlockTarget);
  rowMeaningSizes = {};
  const std::vector<std::uint8_t> dir = plan.Directory(columns, count, perBlock);
  if (dir.empty()) return "a block is too large";
  std::uint64_t total = kHeaderSize + dir.size() + kTagSize;
  for (const std::uint64_t size : plan.BlockSizes()) total += size + kTagSize;
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
  crypto::GcmSealer sealer(key);
  auto seal = [&](const std::vector<std::uint8_t>& plain) {
    const auto nonce = BlockNonce(all.subspan(kOffNonce, crypto::kNonceSize), number++);
    sealed = sealed && sealer.Seal(nonce, all.first(kHeaderSize), plain, all.subspan(at, plain.size()),
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
  for (std::size_t m = 0; m < plan.meaningFirsts.size(); ++m) {
    const std::size_t first = plan.meaningFirsts[m];
    const std::size_t last = m + 1 < plan.meaningFirsts.size() ? plan.meaningFirsts[m + 1] : count;
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
