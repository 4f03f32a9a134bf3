// Opening Data.db: header checks in an order that names the real problem (not ours, a newer
// format, cut short, damaged, wrong password), then decryption, then the table and its index.
#include "Dictionary.h"

#include <algorithm>

#include "CaseFold.h"
#include "Crypto.h"
#include "FileAccess.h"
#include "Format.h"
#include "Utf8.h"

namespace kelvara {

std::string_view DictErrorName(DictError error) {
  switch (error) {
    case DictError::None: return "none";
    case DictError::Missing: return "missing";
    case DictError::Unreadable: return "unreadable";
    case DictError::Locked: return "locked";
    case DictError::WrongPassword: return "wrong password";
    case DictError::Damaged: return "damaged";
    case DictError::Truncated: return "truncated";
    case DictError::UnknownVersion: return "unknown version";
    case DictError::NotADictionary: return "not a dictionary";
  }
  return "unknown";
}

struct DictionaryLoader {
  // Takes the file's bytes and decrypts its table where it lies.
  static OpenResult Load(std::unique_ptr<std::uint8_t[]> data, std::size_t size,
                         std::string_view password, const std::string& name);
  static std::string BuildIndex(Dictionary& dict);
};

namespace {

constexpr std::size_t kHeadSample = 16;

std::uint64_t HeadOf(std::string_view key) {
  std::uint64_t head = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    head = (head << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  }
  return head;
}

// HeadOf the folded text, folded as it is read: only the first eight folded bytes are made.
std::uint64_t FoldedHead(std::string_view text) {
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

OpenResult Fail(DictError error, std::string message) {
  OpenResult result;
  result.error = error;
  result.message = std::move(message);
  return result;
}

}  // namespace

OpenResult DictionaryLoader::Load(std::unique_ptr<std::uint8_t[]> data, std::size_t size,
                                  std::string_view password, const std::string& name) {
  using namespace format;
  std::uint8_t* const p = data.get();
  const std::span<std::uint8_t> file(p, size);

  // A dictionary cut anywhere, even inside its magic number, reads as truncated; anything else
  // that does not begin with the magic number is not ours.
  const std::size_t magicPart = std::min(size, kMagic.size());
  if (!std::equal(p, p + magicPart, kMagic.begin())) {
    return Fail(DictError::NotADictionary, name + " is not a dictionary file.");
  }
  if (size == 0) return Fail(DictError::Truncated, name + " is empty.");
  if (size < kOffVersion + 2) {
    return Fail(DictError::Truncated, name + " is cut short: it ends inside its header.");
  }
  const std::uint16_t version = LoadU16(p + kOffVersion);
  if (version != kVersion) {
    return Fail(DictError::UnknownVersion,
                name + " is a dictionary of format version " + std::to_string(version) +
                    ", which this program cannot read (it reads version " +
                    std::to_string(kVersion) + ").");
  }
  if (size < kHeaderSize) {
    return Fail(DictError::Truncated, name + " is cut short: it ends inside its header.");
  }
  if (Crc32(file.first(kOffHeaderCrc)) != LoadU32(p + kOffHeaderCrc)) {
    return Fail(DictError::Damaged, name + " is damaged: its header does not match its checksum.");
  }
  const std::uint32_t iterations = LoadU32(p + kOffIterations);
  if (LoadU16(p + kOffHeaderSize) != kHeaderSize || LoadU32(p + kOffFlags) != 0 ||
      LoadU32(p + kOffReserved) != 0 || iterations < kMinIterations ||
      iterations > kMaxIterations) {
    return Fail(DictError::Damaged, name + " is damaged: its header holds impossible values.");
  }
  const std::uint64_t payloadSize = LoadU64(p + kOffPayloadSize);
  const std::uint64_t room = size - kHeaderSize;  // for the payload and the tag
  if (payloadSize > room || room - payloadSize < kTagSize) {
    return Fail(DictError::Truncated,
                name + " is cut short: its header announces " +
                    std::to_string(payloadSize + kHeaderSize + kTagSize) + " bytes, the file has " +
                    std::to_string(size) + ".");
  }
  if (room - payloadSize > kTagSize) {
    return Fail(DictError::Damaged, name + " is damaged: it has " +
                                        std::to_string(room - payloadSize - kTagSize) +
                                        " bytes more than its header announces.");
  }

  crypto::Key key;
  KeyCheck check;
  if (!DeriveFileKey(password, file.subspan(kOffSalt, kSaltSize), iterations, key, check)) {
    return Fail(DictError::Unreadable, name + " cannot be opened: the system's cryptography failed.");
  }
  if (!std::equal(check.begin(), check.end(), p + kOffKeyCheck)) {
    return Fail(DictError::WrongPassword, name + " cannot be opened: the password is wrong.");
  }

  // In place: the file's memory becomes the table's, with no second copy of it.
  const std::span<std::uint8_t> payload = file.subspan(kHeaderSize, static_cast<std::size_t>(payloadSize));
  const auto status = crypto::AesGcmOpen(
      key, file.subspan(kOffNonce, crypto::kNonceSize), file.first(kHeaderSize), payload,
      file.subspan(kHeaderSize + payload.size()).first<kTagSize>(), payload);
  std::fill(key.begin(), key.end(), std::uint8_t{0});
  if (status == crypto::OpenStatus::TagMismatch) {
    return Fail(DictError::Damaged, name + " is damaged: its contents fail the integrity check.");
  }
  if (status != crypto::OpenStatus::Ok) {
    return Fail(DictError::Unreadable, name + " cannot be opened: the system's cryptography failed.");
  }

  Payload table;
  if (std::string problem = DecodePayload(payload, table); !problem.empty()) {
    return Fail(DictError::Damaged, name + " is damaged: " + problem + ".");
  }
  if (table.tableName != kTableName || table.columnNames[0] != kHeadwordColumn) {
    return Fail(DictError::NotADictionary,
                name + " holds no table Words with an English column, so it is not a dictionary.");
  }
  std::unique_ptr<Dictionary> dict(new Dictionary());
  dict->text_ = reinterpret_cast<const char*>(payload.data() + table.textOffset);
  dict->data_ = std::move(data);
  dict->cellEnds_ = std::move(table.cellEnds);
  dict->sorted_ = std::move(table.sorted);
  dict->columnNames_ = std::move(table.columnNames);
  dict->rowCount_ = table.rowCount;
  dict->formatVersion_ = version;
  dict->kdfIterations_ = iterations;
  dict->fileSize_ = size;
  if (std::string problem = BuildIndex(*dict); !problem.empty()) {
    return Fail(DictError::Damaged, name + " is damaged: " + problem + ".");
  }
  OpenResult result;
  result.dict = std::move(dict);
  return result;
}

// Checks that the stored order is the one the prefix search needs (by folded headword, ties by
// row) and keeps the first eight folded bytes of every headword; the headwords themselves stay
// where they lie in the table.
std::string DictionaryLoader::BuildIndex(Dictionary& dict) {
  const std::size_t rows = dict.rowCount_;
  // Column 0 is stored as one run of text, so one pass checks every headword's encoding. A
  // character split across two headwords would pass that pass, but then the second headword
  // begins with a continuation byte, which is looked for below.
  const std::string_view allHeadwords(dict.text_, rows == 0 ? 0 : dict.cellEnds_[rows - 1]);
  bool valid = utf8::IsValid(allHeadwords);
  for (std::size_t row = 0; valid && row < rows; ++row) {
    const std::string_view headword = dict.English(row);
    valid = headword.empty() || (static_cast<unsigned char>(headword[0]) & 0xC0) != 0x80;
  }
  if (!valid) {
    for (std::size_t i = 0; i < rows; ++i) {  // the first culprit in index order names the row
      if (!utf8::IsValid(dict.HeadwordAt(i))) {
        return "the headword of row " + std::to_string(dict.sorted_[i] + 1) + " is not valid UTF-8";
      }
    }
  }

  std::vector<std::uint64_t> heads(rows);
  std::string_view previous;
  for (std::size_t i = 0; i < rows; ++i) {
    const std::uint32_t row = dict.sorted_[i];
    const std::string_view headword = dict.English(row);
    heads[i] = FoldedHead(headword);
    if (i > 0) {
      // Neighbours mostly differ early: equal heads are the only ones compared further.
      const int order = heads[i - 1] != heads[i] ? (heads[i - 1] < heads[i] ? -1 : 1)
                                                 : CompareFolded(previous, headword);
      if (order > 0 || (order == 0 && dict.sorted_[i - 1] > row)) {
        return "its index is out of order at row " + std::to_string(row + 1);
      }
    }
    previous = headword;
  }
  dict.headLevels_.push_back(std::move(heads));
  while (dict.headLevels_.back().size() > kHeadSample) {
    const std::vector<std::uint64_t>& below = dict.headLevels_.back();
    std::vector<std::uint64_t> level;
    level.reserve(below.size() / kHeadSample + 1);
    for (std::size_t i = 0; i < below.size(); i += kHeadSample) level.push_back(below[i]);
    dict.headLevels_.push_back(std::move(level));
  }
  return {};
}

// First index position whose head is >= v (> v when `after`). On each level the answer lies
// within the 16 entries below the one found on the level above.
std::size_t Dictionary::HeadBound(std::uint64_t v, bool after) const {
  auto below = [&](std::uint64_t h) { return after ? h <= v : h < v; };
  std::size_t found = 0;
  for (std::size_t k = headLevels_.size(); k-- > 0;) {
    const std::vector<std::uint64_t>& level = headLevels_[k];
    std::size_t from = 0, to = level.size();
    if (k + 1 < headLevels_.size()) {
      if (found == 0) return 0;
      from = (found - 1) * kHeadSample;
      to = std::min(found * kHeadSample, level.size());
    }
    found = static_cast<std::size_t>(
        std::partition_point(level.begin() + static_cast<std::ptrdiff_t>(from),
                             level.begin() + static_cast<std::ptrdiff_t>(to), below) -
        level.begin());
  }
  return found;
}

namespace {

// The heads that keys beginning with `part` (at most 8 bytes, no NUL) have: from the part padded
// with zero bytes to the part padded with 0xFF bytes. A NUL in the part would meet the padding of
// shorter keys, so such prefixes are compared in full.
std::pair<std::uint64_t, std::uint64_t> HeadSpan(std::string_view part) {
  const std::uint64_t head = HeadOf(part);
  return {head, head | (part.size() >= 8 ? 0 : ~std::uint64_t{0} >> (8 * part.size()))};
}

}  // namespace

std::pair<std::size_t, std::size_t> Dictionary::PrefixRange(std::string_view prefix) const {
  const auto [low, high] = HeadSpan(prefix.substr(0, 8));
  std::size_t lo = HeadBound(low, false), hi = HeadBound(high, true);
  const bool hasNul = prefix.find('\0') != std::string_view::npos;
  if (prefix.size() <= 8 && !hasNul) return {lo, hi};

  // Longer, or with a NUL: the heads have narrowed the search to the run of headwords whose
  // first eight folded bytes could begin a match; compare those in full, folding as they read.
  const std::size_t end = hi;
  while (lo < hi) {  // the first headword that does not sort before the matches
    const std::size_t mid = lo + (hi - lo) / 2;
    if (CompareFoldedToPrefix(HeadwordAt(mid), prefix) < 0) lo = mid + 1; else hi = mid;
  }
  const std::size_t first = lo;
  hi = end;
  while (lo < hi) {  // the first headword after them
    const std::size_t mid = lo + (hi - lo) / 2;
    if (CompareFoldedToPrefix(HeadwordAt(mid), prefix) == 0) lo = mid + 1; else hi = mid;
  }
  return {first, lo};
}

OpenResult Dictionary::FromBytes(std::span<const std::uint8_t> fileBytes, std::string_view password) {
  auto copy = std::make_unique_for_overwrite<std::uint8_t[]>(fileBytes.size());
  std::copy(fileBytes.begin(), fileBytes.end(), copy.get());
  return DictionaryLoader::Load(std::move(copy), fileBytes.size(), password, "The data");
}

OpenResult Dictionary::Open(const std::filesystem::path& file, std::string_view password) {
  ReadFileResult read = ReadAndHoldFile(file);
  if (read.error != DictError::None) return Fail(read.error, std::move(read.message));
  OpenResult result = DictionaryLoader::Load(std::move(read.bytes), read.size, password,
                                             "The dictionary file " + PathForMessage(file));
  if (result.dict) result.dict->lock_ = std::move(read.lock);
  return result;
}

Dictionary::~Dictionary() = default;

}  // namespace kelvara
