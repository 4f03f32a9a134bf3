// Opening Data.db: header checks in an order that names the real problem (not ours, a newer
// format, cut short, damaged, wrong password), then decryption, then the table and its index.
// Version 2 decrypts at opening only its directory; headword and meaning blocks are decrypted,
// authenticated and checked when a lookup first needs them.
#include "Dictionary.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>

#include "CaseFold.h"
#include "Crypto.h"
#include "FileAccess.h"
#include "Format.h"
#include "SpellingTrie.h"
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

namespace {

constexpr std::size_t kHeadSample = 16;
// Meaning blocks kept decrypted: the one shown and a few around it, a small fixed amount.
constexpr std::size_t kMeaningCache = 4;
constexpr std::size_t kLargestKeptMeaningBlock = 64 * 1024;
constexpr std::size_t kPrefetchedBytes = 4096;

std::uint64_t HeadOf(std::string_view key) {
  std::uint64_t head = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    head = (head << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  }
  return head;
}

OpenResult Fail(DictError error, std::string message) {
  OpenResult result;
  result.error = error;
  result.message = std::move(message);
  return result;
}

// Every headword begins a character: with the text checked as one run, a character split across
// two headwords would show as a headword that begins with a continuation byte.
bool StartsWithContinuation(std::string_view headword) {
  return !headword.empty() && (static_cast<unsigned char>(headword[0]) & 0xC0) == 0x80;
}

// Checks that neighbours are in index order (by folded headword; ties keep their order) given
// their heads, comparing text only where the heads are equal.
bool InOrder(std::uint64_t headA, std::string_view a, std::uint64_t headB, std::string_view b) {
  if (headA != headB) return headA < headB;
  return CompareFolded(a, b) <= 0;
}

}  // namespace

// Version 2's state: what opening read, the key to read the rest, and the blocks read so far.
// Headword blocks stay once read (together they are the headword index, which searches need);
// meaning blocks pass through a small cache. Reads may come from several threads.
struct Dictionary::Blocks {
  struct HeadBlock {
    std::unique_ptr<std::uint8_t[]> plain;
    // FoldedHead of every kHeadSample-th entry (0, 16, 32, ...): the search narrows to 16
    // entries by these and folds at most four more, so a block costs its size in the file and
    // half a byte a headword more, not eight.
    std::vector<std::uint64_t> heads;
    format::U32View ends;              // end of each entry's text
    const char* text = nullptr;
    std::string_view At(std::size_t i) const {
      const std::uint32_t begin = i == 0 ? 0 : ends[i - 1];
      return std::string_view(text + begin, ends[i] - begin);
    }
  };
  // A slot of the meaning cache. Its buffer stays from block to block (a lookup that meets a new
  // block then allocates nothing); `index` is kNoBlock while the slot holds no checked block.
  struct MeaningBlock {
    static constexpr std::size_t kNoBlock = ~std::size_t{0};
    std::size_t index = kNoBlock;
    std::uint64_t used = 0;  // when last read: the least recent slot is refilled first
    std::unique_ptr<std::uint8_t[]> plain;
    std::size_t capacity = 0;
    format::U32View ends;  // row by row, the cells after the headword
    const char* text = nullptr;
  };

  // Where meaning block m lies and the rows it holds, side by side: a lookup finds its row's
  // block and that block's bytes in the same cache line (three separate tables cost a cold
  // lookup two more misses, one after the other). Opening moves them here from the directory.
  struct MeaningEntry {
    std::uint64_t offset;
    std::uint32_t firstRow;
    std::uint32_t sealedSize;
  };

  std::span<const std::uint8_t> file;
  std::string name;  // "The dictionary file ..." for messages
  crypto::Key key{};
  std::unique_ptr<crypto::GcmOpener> opener;  // used with the mutex held
  format::Directory dir;
  std::size_t headBlocks = 0;
  std::unique_ptr<std::atomic<const HeadBlock*>[]> headSlots;
  std::vector<std::unique_ptr<HeadBlock>> headOwned;
  std::unique_ptr<std::atomic<bool>[]> damaged;  // per block, once its check failed
  std::atomic<std::uint64_t> damageEvents{0};
  // firstMeaningOf[k]: the meaning block that holds row k * kRowsPerHint, so that a row's
  // meaning block is searched for among the few around it.
  static constexpr std::size_t kRowsPerHint = 64;
  std::vector<std::uint32_t> firstMeaningOf;
  std::vector<MeaningEntry> meaningBlocks;
  std::mutex mutex;  // loading, the meaning cache, the report
  std::array<MeaningBlock, kMeaningCache> meanings;
  std::uint64_t meaningClock = 0;
  DamageReport report;

  ~Blocks() { std::fill(key.begin(), key.end(), std::uint8_t{0}); }

  std::size_t RowsIn(std::size_t headBlock) const {
    const std::size_t first = headBlock * dir.headwordsPerBlock;
    return std::min<std::size_t>(dir.headwordsPerBlock, dir.rowCount - first);
  }
  std::size_t MeaningRowsIn(std::size_t m) const {
    const std::uint32_t next = m + 1 < meaningBlocks.size() ? meaningBlocks[m + 1].firstRow : dir.rowCount;
    return next - meaningBlocks[m].firstRow;
  }

  // Decrypts and authenticates block `b` (0-based, headword blocks first) into `plain`, which
  // grows when it holds less than the block (`capacity`). Returns "" or what failed.
  std::string Decrypt(std::size_t b, std::unique_ptr<std::uint8_t[]>& plain, std::size_t& capacity,
                      std::size_t& size) const {
    using namespace format;
    const bool isHead = b < headBlocks;
    const std::uint64_t offset = isHead ? dir.blockOffsets[b] : meaningBlocks[b - headBlocks].offset;
    const std::uint32_t sealed = isHead ? dir.blockSizes[b] : meaningBlocks[b - headBlocks].sealedSize;
    size = sealed - kTagSize;
    const std::span<const std::uint8_t> bytes = file.subspan(static_cast<std::size_t>(offset), sealed);
    // A block is usually read cold: asking for its first lines at once lets their misses overlap
    // instead of following one another (a cold whole-word lookup took 9% less time).
    for (std::size_t at = 0; at < bytes.size() && at < kPrefetchedBytes; at += 64) __builtin_prefetch(bytes.data() + at);
    if (!plain || capacity < size) {
      capacity = std::max<std::size_t>(size, 1);
      plain = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
    }
    const auto nonce = BlockNonce(file.subspan(kOffNonce, crypto::kNonceSize), b + 1);
    const auto status = opener->Open(nonce, file.first(kHeaderSize), bytes.first(size),
                                     bytes.subspan(size).first<kTagSize>(), std::span(plain.get(), size));
    if (status == crypto::OpenStatus::TagMismatch) return "fails the integrity check";
    if (status != crypto::OpenStatus::Ok) return "cannot be decrypted: the system's cryptography failed";
    return {};
  }

  std::string LoadHeadBlock(std::size_t b, std::unique_ptr<HeadBlock>& out) const {
    using namespace format;
    auto block = std::make_unique<HeadBlock>();
    std::size_t size = 0, capacity = 0;
    if (std::string problem = Decrypt(b, block->plain, capacity, size); !problem.empty()) return problem;
    const std::size_t n = RowsIn(b);
    Decoder d(block->plain.get(), block->plain.get() + size);
    if (!d.U32Array(n, block->ends)) return "is cut short";
    const std::size_t textSize = d.remaining();
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (block->ends[i] < previous || block->ends[i] > textSize) return "points outside its text";
      previous = block->ends[i];
    }
    if (previous != textSize) return "has text after its last headword";
    block->text = reinterpret_cast<const char*>(d.position());
    if (!utf8::IsValid(std::string_view(block->text, textSize))) return "holds a headword that is not valid UTF-8";
    block->heads.reserve((n + kHeadSample - 1) / kHeadSample);
    std::uint64_t previousHead = 0, head = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const std::string_view word = block->At(i);
      if (StartsWithContinuation(word)) return "holds a headword that is not valid UTF-8";
      head = FoldedHead(word);
      if (i > 0 && !InOrder(previousHead, block->At(i - 1), head, word)) return "holds headwords out of order";
      if (i % kHeadSample == 0) block->heads.push_back(head);
      previousHead = head;
    }
    // The directory's heads place the block among the others: the search relies on both.
    if (block->heads[0] != dir.headwordHeads[b] || (b + 1 < headBlocks && head > dir.headwordHeads[b + 1])) {
      return "does not match the directory";
    }
    out = std::move(block);
    return {};
  }

  std::string LoadMeaningBlock(std::size_t m, std::size_t columns, MeaningBlock& out) const {
    using namespace format;
    std::size_t size = 0;
    out.index = MeaningBlock::kNoBlock;
    if (std::string problem = Decrypt(headBlocks + m, out.plain, out.capacity, size); !problem.empty()) return problem;
    const std::size_t cells = MeaningRowsIn(m) * (columns - 1);
    Decoder d(out.plain.get(), out.plain.get() + size);
    if (!d.U32Array(cells, out.ends)) return "is cut short";
    const std::size_t textSize = d.remaining();
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < cells; ++i) {
      if (out.ends[i] < previous || out.ends[i] > textSize) return "points outside its text";
      previous = out.ends[i];
    }
    if (previous != textSize) return "has text after its last cell";
    out.text = reinterpret_cast<const char*>(d.position());
    out.index = m;
    return {};
  }

  // Called with the mutex held: marks the block, counts the event and says what happened once.
  void MarkDamaged(std::size_t b, const std::string& problem, std::vector<std::string>& reports) {
    damaged[b].store(true, std::memory_order_release);
    const bool isHead = b < headBlocks;
    reports.push_back(name + " is damaged: its " + (isHead ? "headword" : "meaning") + " block " +
                      std::to_string((isHead ? b : b - headBlocks) + 1) + " of " +
                      std::to_string(isHead ? headBlocks : meaningBlocks.size()) + " " +
                      problem + ".");
  }

  void Deliver(const std::vector<std::string>& reports) {
    if (reports.empty()) return;
    DamageReport to;
    {
      const std::lock_guard<std::mutex> hold(mutex);
      to = report;
    }
    if (to) {
      for (const std::string& r : reports) to(r);
    }
  }

  const HeadBlock* Head(std::size_t b) {
    if (const HeadBlock* ready = headSlots[b].load(std::memory_order_acquire)) return ready;
    std::vector<std::string> reports;
    const HeadBlock* result = nullptr;
    {
      const std::lock_guard<std::mutex> hold(mutex);
      result = headSlots[b].load(std::memory_order_acquire);
      if (!result && !damaged[b].load(std::memory_order_acquire)) {
        std::unique_ptr<HeadBlock> block;
        if (std::string problem = LoadHeadBlock(b, block); !problem.empty()) {
          MarkDamaged(b, problem, reports);
        } else {
          result = block.get();
          headOwned[b] = std::move(block);
          headSlots[b].store(result, std::memory_order_release);
        }
      }
    }
    if (!result) damageEvents.fetch_add(1, std::memory_order_relaxed);
    Deliver(reports);
    return result;
  }

  // The meaning block that holds `row`: among those from the one that holds the hint's row to the
  // one that holds the next hint's.
  std::size_t MeaningBlockOf(std::size_t row) const {
    const std::size_t k = row / kRowsPerHint;
    const auto from = meaningBlocks.begin() + firstMeaningOf[k];
    const auto to = k + 1 < firstMeaningOf.size() ? meaningBlocks.begin() + firstMeaningOf[k + 1] + 1 : meaningBlocks.end();
    const auto after = std::upper_bound(from, to, static_cast<std::uint32_t>(row),
                                        [](std::uint32_t r, const MeaningEntry& e) { return r < e.firstRow; });
    return static_cast<std::size_t>(after - meaningBlocks.begin() - 1);
  }

  // The cell, copied under the lock (the cache may drop its block right after).
  std::optional<std::string> MeaningCell(std::size_t row, std::size_t column, std::size_t columns) {
    const std::size_t m = MeaningBlockOf(row);
    std::vector<std::string> reports;
    std::optional<std::string> cell;
    {
      const std::lock_guard<std::mutex> hold(mutex);
      MeaningBlock* found = nullptr;
      MeaningBlock* oldest = &meanings[0];
      for (MeaningBlock& slot : meanings) {
        if (slot.index == m) found = &slot;
        if (slot.used < oldest->used) oldest = &slot;
      }
      if (!found && !damaged[headBlocks + m].load(std::memory_order_acquire)) {
        if (std::string problem = LoadMeaningBlock(m, columns, *oldest); !problem.empty()) {
          MarkDamaged(headBlocks + m, problem, reports);
        } else {
          found = oldest;
        }
      }
      if (found) {
        found->used = ++meaningClock;
        const std::size_t k = (row - meaningBlocks[m].firstRow) * (columns - 1) + (column - 1);
        const std::uint32_t begin = k == 0 ? 0 : found->ends[k - 1];
        cell.emplace(found->text + begin, found->ends[k] - begin);
        // A block made large by one long entry is not kept: the cache stays small.
        if (found->capacity > kLargestKeptMeaningBlock) *found = MeaningBlock();
      }
    }
    if (!cell) damageEvents.fetch_add(1, std::memory_order_relaxed);
    Deliver(reports);
    return cell;
  }
};

struct DictionaryLoader {
  // Checks the header and reads the table (version 1) or the directory (version 2) of `file`,
  // which stays valid as long as `mapped` or `owned` lives.
  static OpenResult Load(std::span<const std::uint8_t> file, std::unique_ptr<MappedFile> mapped,
                         std::unique_ptr<std::uint8_t[]> owned, std::string_view password,
                         const std::string& name);
  static OpenResult LoadV1(std::span<const std::uint8_t> file, const crypto::Key& key,
                           std::unique_ptr<Dictionary> dict, const std::string& name);
  static OpenResult LoadV2(std::span<const std::uint8_t> file, const crypto::Key& key,
                           std::unique_ptr<Dictionary> dict, const std::string& name);
  static std::string BuildIndex(Dictionary& dict);
};

OpenResult DictionaryLoader::Load(std::span<const std::uint8_t> file, std::unique_ptr<MappedFile> mapped,
                                  std::unique_ptr<std::uint8_t[]> owned, std::string_view password,
                                  const std::string& name) {
  using namespace format;
  const std::uint8_t* const p = file.data();
  const std::size_t size = file.size();

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
  if (version != kVersion1 && version != kVersion2) {
    return Fail(DictError::UnknownVersion,
                name + " is a dictionary of format version " + std::to_string(version) +
                    ", which this program cannot read (it reads versions 1 and 2).");
  }
  if (size < kHeaderSize) {
    return Fail(DictError::Truncated, name + " is cut short: it ends inside its header.");
  }
  if (Crc32(file.first(kOffHeaderCrc)) != LoadU32(p + kOffHeaderCrc)) {
    return Fail(DictError::Damaged, name + " is damaged: its header does not match its checksum.");
  }
  const std::uint32_t iterations = LoadU32(p + kOffIterations);
  if (LoadU16(p + kOffHeaderSize) != kHeaderSize || LoadU32(p + kOffFlags) != 0 ||
      (version == kVersion1 && LoadU32(p + kOffReserved) != 0) || iterations < kMinIterations ||
      iterations > kMaxIterations) {
    return Fail(DictError::Damaged, name + " is damaged: its header holds impossible values.");
  }
  // What the header announces: payload and tag (version 1), or the whole file (version 2).
  const std::uint64_t announced =
      version == kVersion1 ? LoadU64(p + kOffPayloadSize) : LoadU64(p + kOffFileSize);
  const std::uint64_t room = size - kHeaderSize;
  const bool shorter = version == kVersion1 ? announced > room || room - announced < kTagSize
                                            : announced > size;
  if (shorter) {
    const std::uint64_t whole = version == kVersion1 ? announced + kHeaderSize + kTagSize : announced;
    return Fail(DictError::Truncated,
                name + " is cut short: its header announces " +
                    (whole < announced ? std::string("more") : std::to_string(whole)) +
                    " bytes, the file has " + std::to_string(size) + ".");
  }
  const std::uint64_t extra = version == kVersion1 ? room - announced - kTagSize : size - announced;
  if (extra > 0) {
    return Fail(DictError::Damaged, name + " is damaged: it has " + std::to_string(extra) +
                                        " bytes more than its header announces.");
  }
  if (version == kVersion2 && (size < kHeaderSize + kTagSize ||
                               LoadU32(p + kOffDirectorySize) > size - kHeaderSize - kTagSize)) {
    return Fail(DictError::Damaged, name + " is damaged: its header holds impossible values.");
  }

  crypto::Key key;
  KeyCheck check;
  if (!DeriveFileKey(password, file.subspan(kOffSalt, kSaltSize), iterations, key, check)) {
    return Fail(DictError::Unreadable, name + " cannot be opened: the system's cryptography failed.");
  }
  if (!std::equal(check.begin(), check.end(), p + kOffKeyCheck)) {
    return Fail(DictError::WrongPassword, name + " cannot be opened: the password is wrong.");
  }

  std::unique_ptr<Dictionary> dict(new Dictionary());
  dict->file_ = std::move(mapped);
  dict->data_ = std::move(owned);
  dict->formatVersion_ = version;
  dict->kdfIterations_ = iterations;
  dict->fileSize_ = size;
  OpenResult result = version == kVersion1 ? LoadV1(file, key, std::move(dict), name)
                                           : LoadV2(file, key, std::move(dict), name);
  std::fill(key.begin(), key.end(), std::uint8_t{0});
  return result;
}

OpenResult DictionaryLoader::LoadV1(std::span<const std::uint8_t> file, const crypto::Key& key,
                                    std::unique_ptr<Dictionary> dict, const std::string& name) {
  using namespace format;
  const auto payloadSize = static_cast<std::size_t>(LoadU64(file.data() + kOffPayloadSize));
  // The table is decrypted whole into memory of its own; the file's bytes are not needed after.
  auto plain = std::make_unique_for_overwrite<std::uint8_t[]>(std::max<std::size_t>(payloadSize, 1));
  const std::span<std::uint8_t> payload(plain.get(), payloadSize);
  const auto status = crypto::AesGcmOpen(
      key, file.subspan(kOffNonce, crypto::kNonceSize), file.first(kHeaderSize),
      file.subspan(kHeaderSize, payloadSize), file.subspan(kHeaderSize + payloadSize).first<kTagSize>(),
      payload);
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
  dict->text_ = reinterpret_cast<const char*>(payload.data() + table.textOffset);
  dict->data_ = std::move(plain);
  dict->cellEnds_ = std::move(table.cellEnds);
  dict->sorted_ = std::move(table.sorted);
  dict->columnNames_ = std::move(table.columnNames);
  dict->rowCount_ = table.rowCount;
  if (std::string problem = BuildIndex(*dict); !problem.empty()) {
    return Fail(DictError::Damaged, name + " is damaged: " + problem + ".");
  }
  OpenResult result;
  result.dict = std::move(dict);
  return result;
}

OpenResult DictionaryLoader::LoadV2(std::span<const std::uint8_t> file, const crypto::Key& key,
                                    std::unique_ptr<Dictionary> dict, const std::string& name) {
  using namespace format;
  const std::size_t dirSize = LoadU32(file.data() + kOffDirectorySize);
  std::vector<std::uint8_t> plain(dirSize);
  const auto nonce = BlockNonce(file.subspan(kOffNonce, crypto::kNonceSize), 0);
  const auto status = crypto::AesGcmOpen(key, nonce, file.first(kHeaderSize), file.subspan(kHeaderSize, dirSize),
                                         file.subspan(kHeaderSize + dirSize).first<kTagSize>(), plain);
  if (status == crypto::OpenStatus::TagMismatch) {
    return Fail(DictError::Damaged, name + " is damaged: its directory fails the integrity check.");
  }
  if (status != crypto::OpenStatus::Ok) {
    return Fail(DictError::Unreadable, name + " cannot be opened: the system's cryptography failed.");
  }
  auto blocks = std::make_unique<Dictionary::Blocks>();
  if (std::string problem = DecodeDirectory(plain, kHeaderSize + dirSize + kTagSize, file.size(), blocks->dir);
      !problem.empty()) {
    return Fail(DictError::Damaged, name + " is damaged: " + problem + ".");
  }
  Directory& dir = blocks->dir;
  if (dir.tableName != kTableName || dir.columnNames[0] != kHeadwordColumn) {
    return Fail(DictError::NotADictionary,
                name + " holds no table Words with an English column, so it is not a dictionary.");
  }
  blocks->file = file;
  blocks->name = name;
  blocks->key = key;
  blocks->opener = std::make_unique<crypto::GcmOpener>(key);
  blocks->headBlocks = dir.headwordHeads.size();
  blocks->headSlots = std::make_unique<std::atomic<const Dictionary::Blocks::HeadBlock*>[]>(blocks->headBlocks);
  blocks->headOwned.resize(blocks->headBlocks);
  blocks->damaged = std::make_unique<std::atomic<bool>[]>(dir.blockSizes.size());
  for (std::size_t b = 0; b < dir.blockSizes.size(); ++b) blocks->damaged[b].store(false);
  for (std::size_t b = 0; b < blocks->headBlocks; ++b) blocks->headSlots[b].store(nullptr);
  const std::vector<std::uint32_t>& firsts = dir.meaningFirstRows;
  constexpr std::size_t kEvery = Dictionary::Blocks::kRowsPerHint;
  blocks->firstMeaningOf.resize((dir.rowCount + kEvery - 1) / kEvery);
  for (std::size_t k = 0, m = 0; k < blocks->firstMeaningOf.size(); ++k) {
    while (m + 1 < firsts.size() && firsts[m + 1] <= k * kEvery) ++m;
    blocks->firstMeaningOf[k] = static_cast<std::uint32_t>(m);
  }
  const std::size_t headBlocks = blocks->headBlocks;
  blocks->meaningBlocks.resize(firsts.size());
  for (std::size_t m = 0; m < firsts.size(); ++m) {
    blocks->meaningBlocks[m] = {dir.blockOffsets[headBlocks + m], firsts[m], dir.blockSizes[headBlocks + m]};
  }
  // Moved, not copied: the directory keeps the headword blocks' places only.
  dir.meaningFirstRows = {};
  dir.blockOffsets.resize(headBlocks);
  dir.blockOffsets.shrink_to_fit();
  dir.blockSizes.resize(headBlocks);
  dir.blockSizes.shrink_to_fit();
  dict->columnNames_ = dir.columnNames;
  dict->rowCount_ = dir.rowCount;
  dict->blocks_ = std::move(blocks);
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
  for (std::size_t row = 0; valid && row < rows; ++row) valid = !StartsWithContinuation(dict.English(row));
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
    heads[i] = format::FoldedHead(headword);
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

Dictionary::Dictionary() = default;
Dictionary::~Dictionary() = default;

std::string_view Dictionary::English(std::size_t row) const {
  if (row >= rowCount_) return {};
  return blocks_ ? HeadwordAt(row) : CellV1(row, 0);
}

std::string_view Dictionary::HeadwordAt(std::size_t position) const {
  if (position >= rowCount_) return {};
  if (!blocks_) return CellV1(sorted_[position], 0);
  const std::size_t perBlock = blocks_->dir.headwordsPerBlock;
  const Blocks::HeadBlock* block = blocks_->Head(position / perBlock);
  return block ? block->At(position % perBlock) : std::string_view();
}

std::optional<std::string> Dictionary::Cell(std::size_t row, std::size_t column) const {
  if (row >= rowCount_ || column >= columnNames_.size()) return std::string();
  if (!blocks_) return std::string(CellV1(row, column));
  if (column == 0) {
    const std::size_t perBlock = blocks_->dir.headwordsPerBlock;
    const Blocks::HeadBlock* block = blocks_->Head(row / perBlock);
    if (!block) return std::nullopt;
    return std::string(block->At(row % perBlock));
  }
  return blocks_->MeaningCell(row, column, columnNames_.size());
}

std::uint64_t Dictionary::HeadwordIndexBytes() const {
  std::uint64_t bytes = 0;
  for (std::size_t b = 0; b < HeadwordBlocks(); ++b) bytes += blocks_->dir.blockSizes[b];
  return bytes;
}

std::size_t Dictionary::HeadwordBlocks() const { return blocks_ ? blocks_->headBlocks : 0; }

std::uint64_t Dictionary::DamageEvents() const {
  return blocks_ ? blocks_->damageEvents.load(std::memory_order_relaxed) : 0;
}

void Dictionary::OnDamage(DamageReport report) {
  if (!blocks_) return;  // version 1 was checked whole at opening
  const std::lock_guard<std::mutex> hold(blocks_->mutex);
  blocks_->report = std::move(report);
}

std::string Dictionary::CheckAllBlocks() const {
  if (!blocks_) return {};
  Blocks& b = *blocks_;
  for (std::size_t k = 0; k < b.headBlocks; ++k) {
    if (!b.Head(k)) return b.name + " is damaged: its headword block " + std::to_string(k + 1) + " cannot be read.";
  }
  // Across blocks the order is checked at their boundaries, where the directory's heads leave
  // equal heads undecided.
  const std::size_t perBlock = b.dir.headwordsPerBlock;
  for (std::size_t k = 1; k < b.headBlocks; ++k) {
    const Blocks::HeadBlock& before = *b.headSlots[k - 1].load();
    const Blocks::HeadBlock& after = *b.headSlots[k].load();
    const std::string_view last = before.At(perBlock - 1);
    if (!InOrder(format::FoldedHead(last), last, after.heads[0], after.At(0))) {
      return b.name + " is damaged: its headword blocks " + std::to_string(k) + " and " +
             std::to_string(k + 1) + " are out of order.";
    }
  }
  Blocks::MeaningBlock block;  // one buffer for every block
  for (std::size_t m = 0; m < b.meaningBlocks.size(); ++m) {
    std::string problem;
    std::vector<std::string> reports;
    {
      const std::lock_guard<std::mutex> hold(b.mutex);
      problem = b.LoadMeaningBlock(m, columnNames_.size(), block);
      // Found here first: heard of as if a lookup had found it.
      if (!problem.empty() && !b.damaged[b.headBlocks + m].load()) b.MarkDamaged(b.headBlocks + m, problem, reports);
    }
    b.Deliver(reports);
    if (!problem.empty()) {
      return b.name + " is damaged: its meaning block " + std::to_string(m + 1) + " of " +
             std::to_string(b.meaningBlocks.size()) + " " + problem + ".";
    }
  }
  return {};
}

// First index position whose head is >= v (> v when `after`).
std::size_t Dictionary::HeadBound(std::uint64_t v, bool after) const {
  auto below = [&](std::uint64_t h) { return after ? h <= v : h < v; };
  if (blocks_) {
    // The directory's heads name the one block where the bound lies (or the start of the next).
    const std::vector<std::uint64_t>& firsts = blocks_->dir.headwordHeads;
    const auto k = static_cast<std::size_t>(std::partition_point(firsts.begin(), firsts.end(), below) - firsts.begin());
    if (k == 0) return 0;
    const std::size_t start = (k - 1) * blocks_->dir.headwordsPerBlock;
    const Blocks::HeadBlock* block = blocks_->Head(k - 1);
    if (!block) return start;  // damaged: counted, and the lookup says so
    // The sampled heads leave the bound among the 15 entries after the last sample below it.
    // Searches mostly find them cold: their lines are asked for at once, so that the misses of
    // the halving overlap (as are, below, the text of the 15 entries).
    const std::uint64_t* heads = block->heads.data();
    for (std::size_t i = 0; i < block->heads.size(); i += 8) __builtin_prefetch(heads + i);
    const auto j = static_cast<std::size_t>(
        std::partition_point(block->heads.begin(), block->heads.end(), below) - block->heads.begin());
    if (j == 0) return start;
    const std::size_t entries = blocks_->RowsIn(k - 1);
    std::size_t lo = (j - 1) * kHeadSample + 1, hi = std::min(j * kHeadSample, entries);
    if (lo < hi) {
      const char* const text = block->text;
      for (const char* p = text + block->ends[lo - 1]; p < text + block->ends[hi - 1]; p += 64) __builtin_prefetch(p);
    }
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (below(format::FoldedHead(block->At(mid)))) lo = mid + 1; else hi = mid;
    }
    return start + lo;
  }
  // On each level the answer lies within the 16 entries below the one found on the level above.
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

// The first position in [from, limit) where `holds` is false, or `limit`, for a `holds` that is
// true up to some position and false after: steps of 1, 2, 4... from `from`, then halving, so
// an end k entries away costs about 2 log k tests.
template <typename Holds>
std::size_t GallopTo(std::size_t from, std::size_t limit, Holds holds) {
  if (from >= limit || !holds(from)) return from;
  std::size_t good = from, bad = limit;
  for (std::size_t step = 1; good + step < limit; step *= 2) {
    if (!holds(good + step)) {
      bad = good + step;
      break;
    }
    good += step;
  }
  std::size_t lo = good + 1, hi = bad;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (holds(mid)) lo = mid + 1; else hi = mid;
  }
  return lo;
}

// Entries a search looks through near its start before it searches from the top instead.
constexpr std::size_t kNearbyEntries = 64;

}  // namespace

std::optional<std::pair<std::size_t, std::size_t>> Dictionary::NearbyRange(std::size_t start, std::string_view prefix,
                                                                           bool byHeads, std::uint64_t high) const {
  if (start >= rowCount_) return std::pair{start, start};
  const std::size_t perBlock = blocks_->dir.headwordsPerBlock;
  const std::size_t base = start - start % perBlock;
  const Blocks::HeadBlock* block = blocks_->Head(start / perBlock);
  if (!block) return std::nullopt;
  const std::size_t limit = std::min({base + blocks_->RowsIn(start / perBlock), start + kNearbyEntries});
  std::size_t first = start;
  if (!byHeads) {  // past the headwords that share the prefix's head but sort before it
    first = GallopTo(start, limit, [&](std::size_t i) { return CompareFoldedToPrefix(block->At(i - base), prefix) < 0; });
    if (first == limit) return std::nullopt;
  }
  const std::size_t end = byHeads
      ? GallopTo(first, limit, [&](std::size_t i) { return format::FoldedHead(block->At(i - base)) <= high; })
      : GallopTo(first, limit, [&](std::size_t i) { return CompareFoldedToPrefix(block->At(i - base), prefix) == 0; });
  if (end == limit) return std::nullopt;  // the matches may go on
  return std::pair{first, end};
}

std::pair<std::size_t, std::size_t> Dictionary::PrefixRange(std::string_view prefix) const {
  const auto [low, high] = HeadSpan(prefix.substr(0, 8));
  const bool hasNul = prefix.find('\0') != std::string_view::npos;
  const bool byHeads = prefix.size() <= 8 && !hasNul;
  std::size_t lo = HeadBound(low, false);
  // Most lookups match a few headwords (a whole word, itself and some longer ones): their end is
  // found near their start, before a search from the top for it.
  if (blocks_) {
    if (const auto nearby = NearbyRange(lo, prefix, byHeads, high)) return *nearby;
  }
  std::size_t hi = HeadBound(high, true);
  if (hi < lo) hi = lo;  // only a damaged block can make the bounds cross
  if (byHeads) return {lo, hi};

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

const SpellingTrie& Dictionary::SuggestionTrie() const {
  std::call_once(trieOnce_, [this] { trie_ = std::make_unique<SpellingTrie>(BuildSpellingTrie(*this)); });
  return *trie_;
}

OpenResult Dictionary::FromBytes(std::span<const std::uint8_t> fileBytes, std::string_view password) {
  auto copy = std::make_unique_for_overwrite<std::uint8_t[]>(std::max<std::size_t>(fileBytes.size(), 1));
  std::copy(fileBytes.begin(), fileBytes.end(), copy.get());
  const std::span<const std::uint8_t> bytes(copy.get(), fileBytes.size());
  return DictionaryLoader::Load(bytes, nullptr, std::move(copy), password, "The data");
}

OpenResult Dictionary::Open(const std::filesystem::path& file, std::string_view password) {
  MapFileResult mapped = MapAndHoldFile(file);
  if (mapped.error != DictError::None) return Fail(mapped.error, std::move(mapped.message));
  const std::span<const std::uint8_t> bytes = mapped.file->bytes();
  return DictionaryLoader::Load(bytes, std::move(mapped.file), nullptr, password,
                                "The dictionary file " + PathForMessage(file));
}

}  // namespace kelvara
