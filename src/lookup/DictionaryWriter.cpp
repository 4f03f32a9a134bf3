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

EncodeResult EncodeDictionary(std::span<const WordRow> rows, const WriteOptions& options) {
  using namespace format;
  EncodeResult result;
  if (options.kdfIterations < kMinIterations || options.kdfIterations > kMaxIterations) {
    result.error = "the key derivation's iteration count is out of range";
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
  std::vector<std::string> folded(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) AppendFolded(rows[r][0], folded[r], true);
  std::vector<std::uint32_t> sorted(rows.size());
  std::iota(sorted.begin(), sorted.end(), 0u);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return folded[a] < folded[b]; });

  std::vector<std::uint8_t> payload;
  payload.reserve(static_cast<std::size_t>(textSize + cells * 4 + rows.size() * 4 + 256));
  AppendString(payload, kTableName);
  AppendU32(payload, static_cast<std::uint32_t>(columns));
  for (std::size_t c = 0; c < columns; ++c) {
    AppendString(payload, c == 0   ? std::string(kHeadwordColumn)
                          : c == 1 ? std::string(kMeaningColumn)
                                   : "Column" + std::to_string(c + 1));
  }
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

  std::vector<std::uint8_t>& out = result.bytes;
  out.assign(kHeaderSize + payload.size() + kTagSize, 0);
  std::copy(kMagic.begin(), kMagic.end(), out.begin());
  StoreU16(&out[kOffVersion], kVersion);
  StoreU16(&out[kOffHeaderSize], static_cast<std::uint16_t>(kHeaderSize));
  StoreU32(&out[kOffIterations], options.kdfIterations);
  const std::span<std::uint8_t> salt(&out[kOffSalt], kSaltSize);
  const std::span<std::uint8_t> nonce(&out[kOffNonce], crypto::kNonceSize);
  if (options.saltAndNonce) {
    if (options.saltAndNonce->size() != salt.size() + nonce.size()) {
      result.bytes.clear();
      result.error = "a fixed salt and nonce must be 28 bytes";
      return result;
    }
    std::copy_n(options.saltAndNonce->begin(), salt.size(), salt.begin());
    std::copy_n(options.saltAndNonce->begin() + static_cast<std::ptrdiff_t>(salt.size()),
                nonce.size(), nonce.begin());
  } else if (!crypto::RandomBytes(salt) || !crypto::RandomBytes(nonce)) {
    result.bytes.clear();
    result.error = "the system's random number generator failed";
    return result;
  }
  crypto::Key key;
  KeyCheck check;
  if (!DeriveFileKey(options.password, salt, options.kdfIterations, key, check)) {
    result.bytes.clear();
    result.error = "the system's cryptography failed";
    return result;
  }
  std::copy(check.begin(), check.end(), &out[kOffKeyCheck]);
  StoreU64(&out[kOffPayloadSize], payload.size());
  StoreU32(&out[kOffHeaderCrc], Crc32(std::span(out).first(kOffHeaderCrc)));
  const std::span<std::uint8_t> all(out);
  const bool sealed =
      crypto::AesGcmSeal(key, nonce, all.first(kHeaderSize), payload,
                         all.subspan(kHeaderSize, payload.size()),
                         all.subspan(kHeaderSize + payload.size()).first<kTagSize>());
  std::fill(key.begin(), key.end(), std::uint8_t{0});
  if (!sealed) {
    result.bytes.clear();
    result.error = "the system's cryptography failed";
  }
  return result;
}

std::string WriteDictionaryFile(const std::filesystem::path& file, std::span<const WordRow> rows,
                                const WriteOptions& options) {
  EncodeResult encoded = EncodeDictionary(rows, options);
  if (!encoded.error.empty()) return "Cannot build " + PathForMessage(file) + ": " + encoded.error + ".";
  return ReplaceFileContents(file, encoded.bytes);
}

}  // namespace kelvara
