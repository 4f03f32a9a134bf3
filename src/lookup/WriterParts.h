// What the whole-table and the streaming dictionary writers share: the header, the column
// names and the plan of a version 2 file's blocks. Internal to the writers.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Crypto.h"
#include "DictionaryWriter.h"
#include "Format.h"

namespace kelvara::writer {

inline void AppendString(std::vector<std::uint8_t>& out, std::string_view s) {
  format::AppendU32(out, static_cast<std::uint32_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}

inline std::string ColumnName(std::size_t c) {
  return c == 0   ? std::string(format::kHeadwordColumn)
         : c == 1 ? std::string(format::kMeaningColumn)
                  : "Column" + std::to_string(c + 1);
}

// Header fields both versions share; the caller fills bytes 64 to 75 and the CRC. Derives the key.
std::string StartHeader(std::vector<std::uint8_t>& out, std::uint16_t version,
                        const WriteOptions& options, crypto::Key& key);

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

}  // namespace kelvara::writer
