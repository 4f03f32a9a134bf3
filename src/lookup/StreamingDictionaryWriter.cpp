// The streaming writer: rows planned by size, then written block by block into a temporary file.
// Each block's plain text is built straight where its sealed bytes will lie in a batch of the
// file, and BlockWriter seals it there and writes the batch, on a second thread, while the next
// rows come in.
#include <cstring>
#include <memory>

#include "BlockWriter.h"
#include "DictionaryWriter.h"
#include "FileAccess.h"
#include "Format.h"
#include "WriterParts.h"

namespace kelvara {
namespace {

using writer::BlockPlan;
using writer::StartHeader;

// Meaning blocks lie back to back: a batch of them goes out once it holds a megabyte.
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;

// A block being filled in its batch: its cell ends first, then its text.
struct OpenBlock {
  std::size_t end = 0;        // the next cell end goes here
  std::size_t endsLimit = 0;  // where the cell ends stop and the text begins
  std::size_t text = 0;       // the next text goes here
  std::size_t limit = 0;      // the planned end of its plain text
  std::uint32_t textSize = 0;
};

}  // namespace

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
  SealBatch headBatch, meaningBatch;
  OpenBlock head, meaning;
  // Last, so that it stops before the file it writes goes.
  std::unique_ptr<BlockWriter> blocks;

  ~State() {
    blocks.reset();
    std::fill(key.begin(), key.end(), std::uint8_t{0});
  }

  std::string Fail(const std::string& problem) {
    failed = true;
    if (blocks) blocks->Stop();  // the file is ours again before it goes
    file.Abandon();
    return problem.starts_with("Cannot ") ? problem : "Cannot build " + PathForMessage(target) + ": " + problem + ".";
  }

  std::string Submit(SealBatch& batch) {
    if (batch.parts.empty()) return {};
    std::string failure = blocks->Submit(std::move(batch));
    batch = blocks->Take();
    return failure.empty() ? "" : Fail(failure);
  }

  // Starts part `number` in `batch`: `cells` cell ends, then their text, `plainSize` in all.
  std::string StartBlock(SealBatch& batch, OpenBlock& block, std::uint64_t number, std::size_t cells,
                         std::uint64_t plainSize) {
    if (!batch.parts.empty() && offsets[number] != batch.at + batch.bytes.size()) {
      if (std::string failure = Submit(batch); !failure.empty()) return failure;
    }
    if (batch.parts.empty()) {
      batch.at = offsets[number];
      batch.bytes.clear();
    }
    if (4 * std::uint64_t{cells} > plainSize) return Fail("the rows differ from their plan");
    const std::size_t start = batch.bytes.size();
    batch.bytes.resize(start + static_cast<std::size_t>(plainSize) + format::kTagSize);
    batch.parts.push_back({number, start, static_cast<std::size_t>(plainSize)});
    block = {start, start + 4 * cells, start + 4 * cells, start + static_cast<std::size_t>(plainSize), 0};
    return {};
  }

  // The next cell of the block: its text, and where it ends among the block's text.
  bool AddCell(SealBatch& batch, OpenBlock& block, std::string_view text) {
    if (block.end + 4 > block.endsLimit || text.size() > block.limit - block.text ||
        block.textSize + text.size() > UINT32_MAX) {
      return false;
    }
    if (!text.empty()) std::memcpy(&batch.bytes[block.text], text.data(), text.size());
    block.text += text.size();
    block.textSize += static_cast<std::uint32_t>(text.size());
    format::StoreU32(&batch.bytes[block.end], block.textSize);
    block.end += 4;
    return true;
  }

  // The block is whole when its text ends where it was planned to.
  std::string CloseBlock(SealBatch& batch, const OpenBlock& block, bool sendNow) {
    if (block.text != block.limit) return Fail("the rows differ from their plan");
    if (sendNow || batch.bytes.size() >= kBatchBytes) return Submit(batch);
    return {};
  }

  std::string StartMeaningBlock() {
    const std::size_t first = plan.meaningFirsts[meaningBlock];
    const std::size_t last = meaningBlock + 1 < plan.meaningFirsts.size() ? plan.meaningFirsts[meaningBlock + 1]
                                                                          : static_cast<std::size_t>(rows);
    return StartBlock(meaningBatch, meaning, 1 + plan.heads.size() + meaningBlock, (last - first) * (columns - 1),
                      plan.meaningSizes[meaningBlock]);
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
  s.blocks = std::make_unique<BlockWriter>(s.file, s.key, s.header, options.backgroundWrites, options.writeFault);
  s.begun = true;
  // The directory, sealed first (number 0), goes out in a batch of its own.
  SealBatch batch = s.blocks->Take();
  batch.at = kHeaderSize;
  batch.bytes.assign(dir.begin(), dir.end());
  batch.bytes.resize(dir.size() + kTagSize);
  batch.parts.push_back({0, 0, dir.size()});
  if (std::string failure = s.Submit(batch); !failure.empty()) return failure;
  s.headBatch = s.blocks->Take();
  s.meaningBatch = s.blocks->Take();
  if (!s.plan.meaningFirsts.empty()) return s.StartMeaningBlock();
  return {};
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
  if (s.added % perBlock == 0) {
    if (format::FoldedHead(headword) != s.plan.heads[block]) return s.Fail("the rows differ from their plan");
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(perBlock, s.rows - s.added));
    if (std::string failure = s.StartBlock(s.headBatch, s.head, 1 + block, count, s.plan.headSizes[block]);
        !failure.empty()) {
      return failure;
    }
  }
  if (!s.AddCell(s.headBatch, s.head, headword)) return s.Fail("the rows differ from their plan");
  if (s.added % perBlock == perBlock - 1 || s.added + 1 == s.rows) {
    // Headword blocks lie apart from the meaning blocks being written: each goes out on its own.
    if (std::string failure = s.CloseBlock(s.headBatch, s.head, true); !failure.empty()) return failure;
  }
  if (s.meaningBlock + 1 < s.plan.meaningFirsts.size() && s.added == s.plan.meaningFirsts[s.meaningBlock + 1]) {
    if (std::string failure = s.CloseBlock(s.meaningBatch, s.meaning, false); !failure.empty()) return failure;
    ++s.meaningBlock;
    if (std::string failure = s.StartMeaningBlock(); !failure.empty()) return failure;
  }
  for (std::size_t c = 0; c + 1 < s.columns; ++c) {
    if (!s.AddCell(s.meaningBatch, s.meaning, c < rest.size() ? rest[c] : std::string_view())) {
      return s.Fail("the rows differ from their plan");
    }
  }
  ++s.added;
  return {};
}

std::string StreamingDictionaryWriter::Finish() {
  State& s = *state_;
  if (!s.begun || s.failed) return s.Fail("the writer is not writing");
  if (s.added != s.rows) return s.Fail("fewer rows were added than planned");
  if (!s.plan.meaningFirsts.empty()) {
    if (std::string failure = s.CloseBlock(s.meaningBatch, s.meaning, true); !failure.empty()) return failure;
  }
  if (std::string failure = s.blocks->Wait(); !failure.empty()) return s.Fail(failure);
  s.blocks.reset();
  if (std::string failure = s.file.Commit(); !failure.empty()) {
    s.failed = true;
    return failure;
  }
  s.begun = false;
  std::fill(s.key.begin(), s.key.end(), std::uint8_t{0});
  return {};
}

}  // namespace kelvara
