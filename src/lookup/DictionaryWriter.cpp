#include "DictionaryWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>
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

std::vector<std::uint32_t> IndexOrder(std::size_t rows,
                                      const std::function<std::string_view(std::size_t)>& headword) {
  // Sorted by the first eight folded bytes, which order as the whole folded texts do, then by
  // row; only the runs whose eight agree are put in order by the whole texts (stably, so equal
  // texts keep their rows' order).
  struct Key {
    std::uint64_t head;
    std::uint32_t row;
  };
  std::vector<Key> keys(rows);
  for (std::size_t r = 0; r < rows; ++r) keys[r] = {format::FoldedHead(headword(r)), static_cast<std::uint32_t>(r)};
  std::sort(keys.begin(), keys.end(),
            [](const Key& a, const Key& b) { return a.head != b.head ? a.head < b.head : a.row < b.row; });
  for (std::size_t first = 0; first < rows;) {
    std::size_t last = first + 1;
    while (last < rows && keys[last].head == keys[first].head) ++last;
    if (last - first > 1) {
      std::stable_sort(keys.begin() + static_cast<std::ptrdiff_t>(first), keys.begin() + static_cast<std::ptrdiff_t>(last),
                       [&](const Key& a, const Key& b) { return CompareFolded(headword(a.row), headword(b.row)) < 0; });
    }
    first = last;
  }
  std::vector<std::uint32_t> order(rows);
  for (std::size_t i = 0; i < rows; ++i) order[i] = keys[i].row;
  return order;
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

// The blocks of a version 2 file, planned from its rows' sizes in index order.
struct BlockPlan {
  std::vector<std::uint64_t> heads, headSizes;  // per headword block: its first folded head, plain size
  std::vector<std::uint32_t> meaningFirsts;     // per meaning block: its first row
  std::vector<std::uint64_t> meaningSizes;      // and its plain size

  // Meaning blocks close once they reach the caller's target, or (0) the format's rule for all
  // the meanings' size. A row's meaning size is 4 bytes a cell besides the headword plus its text.
  void CutMeaningBlocks(std::span<const std::uint64_t> rowMeaningSizes, std::size_t callerTarget) {
    std::uint64_t meaningBytes = 0;
    for (const std::uint64_t size : rowMeaningSizes) meaningBytes += size;
    const std::size_t target = callerTarget != 0 ? callerTarget : format::MeaningBlockTarget(meaningBytes);
    meaningFirsts.clear();
    meaningSizes.clear();
    for (std::size_t i = 0; i < rowMeaningSizes.size(); ++i) {
      if (meaningFirsts.empty() || meaningSizes.back() >= target) {
        meaningFirsts.push_back(static_cast<std::uint32_t>(i));
        meaningSizes.push_back(0);
      }
      meaningSizes.back() += rowMeaningSizes[i];
    }
  }

  // The plain size of every block in file order: headword blocks, then meaning blocks.
  std::vector<std::uint64_t> BlockSizes() const {
    std::vector<std::uint64_t> sizes(headSizes);
    sizes.insert(sizes.end(), meaningSizes.begin(), meaningSizes.end());
    return sizes;
  }

  // The directory that describes these blocks; empty when a block is too large for its entry.
  std::vector<std::uint8_t> Directory(std::size_t columns, std::size_t rows, std::size_t perBlock) const {
    using namespace format;
    std::vector<std::uint8_t> dir;
    AppendString(dir, kTableName);
    AppendU32(dir, static_cast<std::uint32_t>(columns));
    for (std::size_t c = 0; c < columns; ++c) AppendString(dir, ColumnName(c));
    AppendU32(dir, static_cast<std::uint32_t>(rows));
    AppendU32(dir, static_cast<std::uint32_t>(perBlock));
    AppendU32(dir, static_cast<std::uint32_t>(heads.size()));
    AppendU32(dir, static_cast<std::uint32_t>(meaningFirsts.size()));
    for (const std::uint64_t size : BlockSizes()) {
      if (size + kTagSize > UINT32_MAX) return {};
    }
    for (std::size_t b = 0; b < heads.size(); ++b) {
      const std::size_t at = dir.size();
      dir.resize(at + kHeadwordBlockEntry);
      StoreU64(&dir[at], heads[b]);
      StoreU32(&dir[at + 8], static_cast<std::uint32_t>(headSizes[b] + kTagSize));
    }
    for (std::size_t m = 0; m < meaningFirsts.size(); ++m) {
      AppendU32(dir, meaningFirsts[m]);
      AppendU32(dir, static_cast<std::uint32_t>(meaningSizes[m] + kTagSize));
    }
    return dir;
  }
};

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

struct StreamingDictionaryWriter::State {
  WriteOptions options;
  std::size_t columns;
  std::filesystem::path target;
  // The plan: rows and text in all, and per block its rows' place and its plain size.
  std::uint64_t rows = 0;
  std::uint64_t textSize = 0;
  BlockPlan plan;
  std::vector<std::uint64_t> rowMeaningSizes;  // planned, until Begin cuts the blocks
  // The writing.
  bool begun = false;
  bool failed = false;
  ReplacementFile file;
  std::vector<std::uint8_t> header;
  crypto::Key key{};
  std::vector<std::uint64_t> offsets;  // per part: the directory, the headword blocks, the meaning ones
  std::uint64_t added = 0;
  std::size_t meaningBlock = 0;  // the one being filled
  std::vector<std::uint8_t> headEnds, meaningEnds, plain, sealed, pending;
  std::string headText, meaningText;
  std::uint64_t pendingAt = 0;

  ~State() { std::fill(key.begin(), key.end(), std::uint8_t{0}); }

  std::string Fail(const std::string& problem) {
    failed = true;
    file.Abandon();
    return problem.starts_with("Cannot ") ? problem : "Cannot build " + PathForMessage(target) + ": " + problem + ".";
  }

  // Meaning blocks lie back to back: they go out a megabyte at a time.
  std::string Flush() {
    std::string failure = file.WriteAt(pendingAt, pending);
    pendingAt += pending.size();
    pending.clear();
    return failure;
  }

  std::string Seal(std::uint64_t number, const std::vector<std::uint8_t>& ends, std::string_view text,
                   std::uint64_t plannedSize, bool direct) {
    using namespace format;
    plain.assign(ends.begin(), ends.end());
    plain.insert(plain.end(), text.begin(), text.end());
    if (plain.size() != plannedSize) return Fail("the rows differ from their plan");
    sealed.resize(plain.size() + kTagSize);
    const std::span<std::uint8_t> out(sealed);
    const auto nonce = BlockNonce(std::span(header).subspan(kOffNonce, crypto::kNonceSize), number);
    if (!crypto::AesGcmSeal(key, nonce, header, plain, out.first(plain.size()),
                            out.subspan(plain.size()).first<kTagSize>())) {
      return Fail("the system's cryptography failed");
    }
    const std::uint64_t at = offsets[number];
    if (direct) {
      if (std::string failure = file.WriteAt(at, sealed); !failure.empty()) return Fail(failure);
      return {};
    }
    if (at != pendingAt + pending.size()) {
      if (std::string failure = Flush(); !failure.empty()) return Fail(failure);
      pendingAt = at;
    }
    pending.insert(pending.end(), sealed.begin(), sealed.end());
    if (pending.size() >= (std::size_t{1} << 20)) {
      if (std::string failure = Flush(); !failure.empty()) return Fail(failure);
    }
    return {};
  }

  std::string CloseMeaningBlock() {
    const std::string failure = Seal(1 + plan.heads.size() + meaningBlock, meaningEnds, meaningText,
                                     plan.meaningSizes[meaningBlock], false);
    meaningEnds.clear();
    meaningText.clear();
    return failure;
  }
};

StreamingDictionaryWriter::StreamingDictionaryWriter(std::size_t columns, const WriteOptions& options)
    : state_(std::make_unique<State>()) {
  state_->options = options;
  state_->columns = columns;
}

StreamingDictionaryWriter::~StreamingDictionaryWriter() = default;

void StreamingDictionaryWriter::Plan(std::string_view headword, std::uint64_t otherCellsSize) {
  State& s = *state_;
  const std::size_t perBlock = s.options.headwordsPerBlock;
  if (perBlock == 0 || s.columns < 2) return;  // Begin refuses the plan
  if (s.rows % perBlock == 0) {
    s.plan.heads.push_back(format::FoldedHead(headword));
    s.plan.headSizes.push_back(0);
  }
  s.plan.headSizes.back() += 4 + headword.size();
  // Where meaning blocks end depends on all the meanings' size: Begin cuts them.
  const std::uint64_t meaningSize = 4 * (s.columns - 1) + otherCellsSize;
  s.rowMeaningSizes.push_back(meaningSize);
  s.textSize += headword.size() + otherCellsSize;
  ++s.rows;
}

std::string StreamingDictionaryWriter::Begin(const std::filesystem::path& target) {
  using namespace format;
  State& s = *state_;
  s.target = target;
  if (s.begun || s.failed) return s.Fail("the writer was already used");
  const WriteOptions& options = s.options;
  if (options.kdfIterations < kMinIterations || options.kdfIterations > kMaxIterations) {
    return s.Fail("the key derivation's iteration count is out of range");
  }
  if (options.formatVersion != kVersion2) {
    return s.Fail("format version " + std::to_string(options.formatVersion) + " cannot be written a row at a time");
  }
  const std::size_t perBlock = options.headwordsPerBlock;
  if (perBlock == 0 || perBlock > kMaxHeadwordsPerBlock) return s.Fail("the headword block size is out of range");
  const std::uint64_t cells = s.rows * s.columns;
  if (s.columns < 2 || s.columns > kMaxColumns || s.rows > UINT32_MAX || s.textSize > UINT32_MAX ||
      s.textSize + cells * 4 + s.rows * 4 > kMaxDictionaryFileSize - 4096) {
    return s.Fail("the table is too large for one dictionary file");
  }

  s.plan.CutMeaningBlocks(s.rowMeaningSizes, options.meaningBlockTarget);
  s.rowMeaningSizes = {};
  const std::vector<std::uint8_t> dir = s.plan.Directory(s.columns, s.rows, perBlock);
  if (dir.empty()) return s.Fail("a block is too large");
  s.offsets.assign(1, kHeaderSize);
  std::uint64_t at = kHeaderSize + dir.size() + kTagSize;
  for (const std::uint64_t size : s.plan.BlockSizes()) {
    s.offsets.push_back(at);
    at += size + kTagSize;
  }
  const std::uint64_t total = at;
  if (total > kMaxDictionaryFileSize) return s.Fail("the table is too large for one dictionary file");

  s.header.assign(kHeaderSize, 0);
  if (std::string problem = StartHeader(s.header, kVersion2, options, s.key); !problem.empty()) return s.Fail(problem);
  StoreU64(&s.header[kOffFileSize], total);
  StoreU32(&s.header[kOffDirectorySize], static_cast<std::uint32_t>(dir.size()));
  StoreU32(&s.header[kOffHeaderCrc], Crc32(std::span(s.header).first(kOffHeaderCrc)));

  if (std::string failure = s.file.Open(target); !failure.empty()) return s.Fail(failure);
  if (std::string failure = s.file.WriteAt(0, s.header); !failure.empty()) return s.Fail(failure);
  s.begun = true;
  return s.Seal(0, {}, std::string_view(reinterpret_cast<const char*>(dir.data()), dir.size()), dir.size(), true);
}

std::string StreamingDictionaryWriter::Add(std::string_view headword, std::span<const std::string_view> rest,
                                           bool sound) {
  State& s = *state_;
  if (!s.begun || s.failed) return s.Fail("rows were added to a writer that is not writing");
  if (s.added >= s.rows) return s.Fail("more rows were added than planned");
  if (rest.size() > s.columns - 1) return s.Fail("a row has more cells than the table's columns");
  if (std::string problem = sound ? std::string() : CheckCells(headword, rest); !problem.empty()) {
    return s.Fail("row " + std::to_string(s.added + 1) + ": " + problem);
  }
  const std::size_t perBlock = s.options.headwordsPerBlock;
  const std::size_t block = static_cast<std::size_t>(s.added / perBlock);
  if (s.added % perBlock == 0 && format::FoldedHead(headword) != s.plan.heads[block]) {
    return s.Fail("the rows differ from their plan");
  }
  s.headText += headword;
  format::AppendU32(s.headEnds, static_cast<std::uint32_t>(s.headText.size()));
  if (s.added % perBlock == perBlock - 1 || s.added + 1 == s.rows) {
    if (std::string failure = s.Seal(1 + block, s.headEnds, s.headText, s.plan.headSizes[block], true); !failure.empty()) {
      return failure;
    }
    s.headEnds.clear();
    s.headText.clear();
  }
  if (s.meaningBlock + 1 < s.plan.meaningFirsts.size() && s.added == s.plan.meaningFirsts[s.meaningBlock + 1]) {
    if (std::string failure = s.CloseMeaningBlock(); !failure.empty()) return failure;
    ++s.meaningBlock;
  }
  for (std::size_t c = 0; c + 1 < s.columns; ++c) {
    if (c < rest.size()) s.meaningText += rest[c];
    format::AppendU32(s.meaningEnds, static_cast<std::uint32_t>(s.meaningText.size()));
  }
  ++s.added;
  return {};
}

std::string StreamingDictionaryWriter::Finish() {
  State& s = *state_;
  if (!s.begun || s.failed) return s.Fail("the writer is not writing");
  if (s.added != s.rows) return s.Fail("fewer rows were added than planned");
  if (!s.plan.meaningFirsts.empty()) {
    if (std::string failure = s.CloseMeaningBlock(); !failure.empty()) return failure;
  }
  if (std::string failure = s.Flush(); !failure.empty()) return s.Fail(failure);
  if (std::string failure = s.file.Commit(); !failure.empty()) {
    s.failed = true;
    return failure;
  }
  s.begun = false;
  std::fill(s.key.begin(), s.key.end(), std::uint8_t{0});
  return {};
}

}  // namespace kelvara
